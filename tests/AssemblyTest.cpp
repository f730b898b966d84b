#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "Assembly.h"
#include "TrackReader.h"
#include "TrackTestData.h"
#include "TranslationError.h"
#include "ZrpWriter.h"

namespace {

// Reads a whole track text into a fresh state.
void readTrack(const std::string& bytes, TranslationState& state, std::string* diagnostics = nullptr) {
    std::istringstream in(bytes);
    std::ostringstream messages;
    readTrackFile(in, state, messages);
    if (diagnostics != nullptr) *diagnostics = messages.str();
}

std::string zrpOf(const std::string& bytes) {
    TranslationState state;
    readTrack(bytes, state);
    std::ostringstream out;
    writeZrp(out, state);
    return out.str();
}

// The point lines of one path, without their line feeds.
std::vector<std::string> pointLines(const Group& group, std::uint32_t parcel) {
    std::vector<std::string> lines;
    const auto found = group.paths.find(parcel);
    if (found == group.paths.end()) return lines;
    for (PointArena::Handle record = found->second.points.first; record != PointArena::none;
         record = group.arena.next(record))
        lines.emplace_back(group.arena.text(record), group.arena.lineLength(record) - 1);
    return lines;
}

TEST(Assembly, VariableAnalysisOfTheFirstChunk) {
    TestChunk chunk;
    chunk.block = steadyChunkBlock(1, "A", 1,
                                   {variableDescriptor("Parcel Index", 0, "Unsigned4", 4, "ParcelId"),
                                    variableDescriptor("Position", 3, "Vector<3,Float4>", 12),
                                    variableDescriptor("Temperature", 0, "Float8", 8),
                                    variableDescriptor("Velocity", 2, "Vector<3,Float4>", 12)});
    chunk.data = {VariableData().unsigned4(3).bytes(), VariableData().vector3Float4(1, 2, 3).bytes(),
                  VariableData().float8(0.5).bytes(), VariableData().vector3Float4(0, 0, 1).bytes()};
    TranslationState state;
    readTrack(trackText({chunk}), state);
    EXPECT_EQ(state.variableNames, (std::vector<std::string>{"Temperature", "Velocity-u", "Velocity-v", "Velocity-w"}));
    EXPECT_EQ(state.parcelVariable, 0);
    EXPECT_EQ(state.positionVariable, 1);
    EXPECT_FALSE(state.firstChunk);
    ASSERT_EQ(state.groups.size(), 1u);
    EXPECT_EQ(pointLines(*state.groups[0], 3), (std::vector<std::string>{"1 2 3 0.5 0 0 1 "}));
}

// The parcel index is found by name or by tag; a variable of a type other
// than 0, 2 and 3 has its data skipped and appears nowhere.
TEST(Assembly, ParcelIndexRuleAndPassedOverVariables) {
    struct Case {
        const char* label;
        Properties parcel;
    };
    const Case cases[] = {
        {"tagged under another name", variableDescriptor("id", 0, "Unsigned4", 4, "ParcelId")},
        {"named without a tag", variableDescriptor("Parcel Index", 0, "Unsigned4", 4)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        std::vector<TestChunk> chunks(2);
        for (int n = 0; n < 2; ++n) {
            chunks[n].block = steadyChunkBlock(n + 1, "A", 2,
                                               {variableDescriptor("Extra", 1, "Float8", 8), c.parcel,
                                                variableDescriptor("Position", 3, "Vector<3,Float4>", 12)});
            chunks[n].data = {VariableData().float8(9).float8(9).bytes(),
                              VariableData().unsigned4(5).unsigned4(5).bytes(),
                              VariableData().vector3Float4(n, 0, 0).vector3Float4(n, 1, 0).bytes()};
        }
        TranslationState state;
        readTrack(trackText(chunks), state);
        EXPECT_TRUE(state.variableNames.empty());
        EXPECT_EQ(state.parcelVariable, 1);
        ASSERT_EQ(state.groups.size(), 1u);
        EXPECT_EQ(pointLines(*state.groups[0], 5), (std::vector<std::string>{"0 0 0 ", "0 1 0 ", "1 0 0 ", "1 1 0 "}));
    }
}

TEST(Assembly, ChunksJoinTheirGroupInFileOrder) {
    std::vector<TestChunk> chunks = {standardChunk(1, "A", {{4, 1, 0, 0, 1, 1}}),
                                     standardChunk(2, "B", {{4, 2, 0, 0, 1, 1}}),
                                     standardChunk(3, "A", {{4, 3, 0, 0, 1, 1}, {0, 4, 0, 0, 1, 1}})};
    TranslationState state;
    readTrack(trackText(chunks), state);
    EXPECT_EQ(state.tagNames, (std::vector<std::string>{"A", "B"}));
    ASSERT_EQ(state.groups.size(), 2u);
    EXPECT_EQ(state.groups[0]->tagName, "A");
    EXPECT_EQ(state.groups[1]->number, 2);
    EXPECT_EQ(pointLines(*state.groups[0], 4), (std::vector<std::string>{"1 0 0 1 1 ", "3 0 0 1 1 "}));
    EXPECT_EQ(pointLines(*state.groups[1], 4), (std::vector<std::string>{"2 0 0 1 1 "}));
}

// Any 32-bit parcel index works, and paths come out in ascending order.
TEST(Assembly, SparseParcelIndexesAreWrittenInAscendingOrder) {
    const std::string zrp = zrpOf(trackText({standardChunk(
        1, "A", {{4294967295u, 1, 0, 0, 1, 1}, {7, 2, 0, 0, 1, 1}, {0, 3, 0, 0, 1, 1}, {4294967295u, 4, 0, 0, 1, 1}})}));
    EXPECT_EQ(zrp,
              "ZRPARTICLES 2 1\nTag Names\n0\nVariable Names\n2\nDiameter\nTemperature\n"
              "1\n3 0 0 1 1 \n1\n2 0 0 1 1 \n2\n1 0 0 1 1 \n4 0 0 1 1 \n");
}

TEST(Assembly, RecordsThatAreNotSteadyChunksArePassedOver) {
    Properties other;
    other.set("ClassName", std::string("Header"));
    other.set("Steady", true);
    Properties unsteady = steadyChunkBlock(9, "U", 0, {});
    unsteady.set("Steady", false);
    Properties noSteady = steadyChunkBlock(9, "U", 0, {});
    noSteady.remove("Steady");
    Properties noClass;
    noClass.set("Steady", true);

    std::ostringstream out;
    TrackWriter writer(out);
    for (const Properties& block : {other, unsteady, noSteady, noClass}) writer.writeBlock(block);
    TestChunk empty = standardChunk(1, "E", {});
    writer.writeChunk(empty.block, empty.data);
    for (const TestChunk& chunk : referenceChunks("B")) writer.writeChunk(chunk.block, chunk.data);
    // Nothing after an empty block is read.
    writer.writeBlock(Properties());
    TestChunk late = standardChunk(3, "Z", {{0, 9, 9, 9, 9, 9}});
    writer.writeChunk(late.block, late.data);

    TranslationState state;
    std::string diagnostics;
    readTrack(out.str(), state, &diagnostics);
    EXPECT_EQ(diagnostics, "");
    // The empty chunk still makes its group, which gets no path.
    EXPECT_EQ(state.tagNames, (std::vector<std::string>{"E", "A", "B"}));
    EXPECT_TRUE(state.groups[0]->pathOrder().empty());
    EXPECT_EQ(pointLines(*state.groups[2], 1), (std::vector<std::string>{"2 0 0 0.125 299.75 "}));
}

// Data types are checked only where values are read: a chunk without points
// reads none, so its parcel index may have any type.
TEST(Assembly, EmptyChunkReadsNoValues) {
    std::vector<TestChunk> chunks = referenceChunks("B");
    TestChunk empty = standardChunk(3, "C", {});
    descriptorOf(empty, 0).set("DataType", std::string("Float4"));
    chunks.insert(chunks.begin(), empty);
    TranslationState state;
    readTrack(trackText(chunks), state);
    EXPECT_EQ(state.tagNames, (std::vector<std::string>{"C", "A", "B"}));

    descriptorOf(chunks[1], 0).set("DataType", std::string("Float4"));
    TranslationState refused;
    EXPECT_THROW(readTrack(trackText(chunks), refused), TranslationError);
}

TEST(Assembly, LaterChunksMustDeclareTheSameVariables) {
    auto withVariables = [](const std::vector<Properties>& variables) {
        TestChunk chunk;
        chunk.block = steadyChunkBlock(2, "A", 0, variables);
        chunk.data.resize(variables.size());
        return chunk;
    };
    const Properties parcel = variableDescriptor("Parcel Index", 0, "Unsigned4", 4, "ParcelId");
    const Properties position = variableDescriptor("Position", 3, "Vector<3,Float4>", 12);
    const Properties diameter = variableDescriptor("Diameter", 0, "Float4", 4);
    const Properties temperature = variableDescriptor("Temperature", 0, "Float8", 8);
    struct Case {
        const char* label;
        std::vector<Properties> variables;
        bool accepted;
    };
    const Case cases[] = {
        {"same", {parcel, position, diameter, temperature}, true},
        {"passed-over type added", {parcel, position, diameter, temperature, variableDescriptor("x", 5, "", 0)}, true},
        {"other order", {parcel, position, temperature, diameter}, false},
        {"one more", {parcel, position, diameter, temperature, diameter}, false},
        {"leading part only", {parcel, position, diameter}, false},
        {"position moved", {parcel, diameter, position, temperature}, false},
        {"no position", {parcel, diameter, temperature}, false},
        {"no parcel index", {variableDescriptor("Other", 1, "", 4), position, diameter, temperature}, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        TranslationState state;
        const std::string track = trackText({standardChunk(1, "A", {}), withVariables(c.variables)});
        if (c.accepted) {
            EXPECT_NO_THROW(readTrack(track, state));
        } else {
            try {
                readTrack(track, state);
                ADD_FAILURE() << "accepted";
            } catch (const TranslationError& error) {
                EXPECT_EQ(std::string(error.what()),
                          "Error:  Variable names mismatch.\nAll TrackChunks must specify the samevariable names in "
                          "the same order\nto be exported to the ASCII ZRP file format.\n\n");
            }
        }
    }
}

TEST(PointArena, LongLinesAndManyBlocksKeepTheirText) {
    PointArena arena;
    std::vector<PointArena::Handle> handles;
    std::vector<std::string> texts;
    for (int i = 0; i < 300; ++i) {
        const std::string text = std::string(static_cast<std::size_t>(i % 7 == 0 ? 300000 : 1 + i % 50), 'a' + i % 26) + "\n";
        char* out = arena.beginLine(text.size());
        text.copy(out, text.size());
        handles.push_back(arena.commitLine(text.size()));
        texts.push_back(text);
        if (i > 0) arena.link(handles[i - 1], handles[i]);
    }
    EXPECT_GT(arena.blockCount(), 1u);
    PointArena::Handle record = handles[0];
    for (std::size_t i = 0; i < texts.size(); ++i, record = arena.next(record)) {
        ASSERT_EQ(arena.lineLength(record), texts[i].size());
        ASSERT_EQ(std::string(arena.text(record), texts[i].size()), texts[i]);
    }
    EXPECT_EQ(record, PointArena::none);
}

}  // namespace
