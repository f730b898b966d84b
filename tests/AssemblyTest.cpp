#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "Assembly.h"
#include "TrackReader.h"
#include "TrackTestData.h"
#include "TranslationError.h"

namespace {

// Reads a whole track text into `state`; returns the diagnostics.
std::string readTrack(const std::string& bytes, TranslationState& state) {
    std::istringstream in(bytes);
    std::ostringstream messages;
    readTrackFile(in, state, messages);
    return messages.str();
}

// The point lines of one path, without their line feeds.
std::vector<std::string> pointLines(const Group& group, std::uint32_t parcel) {
    std::vector<std::string> lines;
    std::vector<PointArena::Handle> records;
    pathLines(group.arena, group.path(parcel), records);
    for (const PointArena::Handle record : records)
        lines.emplace_back(group.arena.text(record), group.arena.lineLength(record) - 1);
    return lines;
}

// The parcel index is found by its name or by its tag; a variable of a type
// other than 0, 2 and 3 has its data skipped and appears nowhere.
TEST(Assembly, VariableAnalysisOfTheFirstChunk) {
    for (const Properties& parcel : {variableDescriptor("Parcel Index", 0, "Unsigned4", 4),
                                     variableDescriptor("id", 0, "Unsigned4", 4, "ParcelId")}) {
        SCOPED_TRACE(parcel.getString("Name"));
        TestChunk chunk;
        chunk.block = steadyChunkBlock(1, "A", 1,
                                       {variableDescriptor("Extra", 1, "Float8", 8), parcel,
                                        variableDescriptor("Position", 3, "Vector<3,Float4>", 12),
                                        variableDescriptor("Temperature", 0, "Float8", 8),
                                        variableDescriptor("Velocity", 2, "Vector<3,Float4>", 12)});
        chunk.data = {VariableData().float8(9).bytes(), VariableData().unsigned4(3).bytes(),
                      VariableData().vector3Float4(1, 2, 3).bytes(), VariableData().float8(0.5).bytes(),
                      VariableData().vector3Float4(0, 0, 1).bytes()};
        TranslationState state;
        readTrack(trackText({chunk}), state);
        EXPECT_EQ(state.variableNames,
                  (std::vector<std::string>{"Temperature", "Velocity-u", "Velocity-v", "Velocity-w"}));
        EXPECT_EQ(state.parcelVariable, 1);
        EXPECT_EQ(state.positionVariable, 2);
        ASSERT_EQ(state.groups.size(), 1u);
        EXPECT_EQ(pointLines(*state.groups[0], 3), (std::vector<std::string>{"1 2 3 0.5 0 0 1 "}));
    }
}

// Groups are numbered in order of first appearance, points join their path
// in file order, and paths are written by ascending parcel index.
TEST(Assembly, ChunksJoinTheirGroupInFileOrder) {
    TranslationState state;
    readTrack(trackText({standardChunk(1, "B", {{4294967295u, 1, 0, 0, 1, 1}, {7, 2, 0, 0, 1, 1}}),
                         standardChunk(2, "A", {{4, 3, 0, 0, 1, 1}}),
                         standardChunk(3, "B", {{7, 4, 0, 0, 1, 1}, {0, 5, 0, 0, 1, 1}, {65536, 6, 0, 0, 1, 1}})}),
              state);
    EXPECT_EQ(state.tagNames, (std::vector<std::string>{"B", "A"}));
    ASSERT_EQ(state.groups.size(), 2u);
    EXPECT_EQ(state.groups[1]->number, 2);
    EXPECT_EQ(pointLines(*state.groups[0], 7), (std::vector<std::string>{"2 0 0 1 1 ", "4 0 0 1 1 "}));
    EXPECT_EQ(pointLines(*state.groups[1], 4), (std::vector<std::string>{"3 0 0 1 1 "}));
    EXPECT_EQ(state.groups[0]->pathOrder(), (std::vector<std::uint32_t>{0, 7, 65536, 4294967295u}));
}

TEST(Assembly, RecordsThatAreNotSteadyChunksArePassedOver) {
    const std::string others = "{'ClassName': 'Header', 'Steady': true}{'ClassName': 'TrackChunk', 'Steady': false}"
                               "{'ClassName': 'TrackChunk', 'Id': 9}{'Steady': true}\n";
    // A chunk without points reads no values: its parcel index may have any type.
    TestChunk empty = standardChunk(1, "E", {});
    descriptorOf(empty, 0).set("DataType", std::string("Float4"));
    // The empty block ends the records.
    const std::string track = others + trackText({empty, referenceChunks("B")[1]}) + "{}" +
                              trackText({standardChunk(3, "Z", {{0, 9, 9, 9, 9, 9}})});
    TranslationState state;
    EXPECT_EQ(readTrack(track, state), "");
    // The empty chunk still makes its group, which gets no path.
    EXPECT_EQ(state.tagNames, (std::vector<std::string>{"E", "B"}));
    EXPECT_TRUE(state.groups[0]->pathOrder().empty());
    EXPECT_EQ(pointLines(*state.groups[1], 1), (std::vector<std::string>{"2 0 0 0.125 299.75 "}));
}

TEST(Assembly, LaterChunksMustDeclareTheSameVariables) {
    const Properties parcel = variableDescriptor("Parcel Index", 0, "Unsigned4", 4, "ParcelId");
    const Properties position = variableDescriptor("Position", 3, "Vector<3,Float4>", 12);
    const Properties diameter = variableDescriptor("Diameter", 0, "Float4", 4);
    const Properties temperature = variableDescriptor("Temperature", 0, "Float8", 8);
    const Properties passedOver = variableDescriptor("x", 5, "", 0);
    struct Case {
        const char* label;
        std::vector<Properties> variables;
        bool accepted;
    };
    const Case cases[] = {
        {"passed-over type added", {parcel, position, diameter, temperature, passedOver}, true},
        {"other order", {parcel, position, temperature, diameter}, false},
        {"one more", {parcel, position, diameter, temperature, diameter}, false},
        {"leading part only", {parcel, position, diameter}, false},
        {"position moved", {parcel, diameter, position, temperature}, false},
        {"no position", {parcel, diameter, temperature}, false},
        {"no parcel index", {variableDescriptor("Other", 1, "", 4), position, diameter, temperature}, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        const std::vector<std::vector<char>> noData(c.variables.size());
        const TestChunk later{steadyChunkBlock(2, "A", 0, c.variables), noData};
        TranslationState state;
        std::string error;
        try {
            readTrack(trackText({standardChunk(1, "A", {}), later}), state);
        } catch (const TranslationError& e) {
            error = e.what();
        }
        EXPECT_EQ(error, c.accepted ? ""
                                    : "Error:  Variable names mismatch.\nAll TrackChunks must specify the samevariable "
                                      "names in the same order\nto be exported to the ASCII ZRP file format.\n\n");
    }
}

// Lines longer than a block get one of their own; chains run across blocks.
TEST(PointArena, LongLinesAndManyBlocksKeepTheirText) {
    PointArena arena;
    std::vector<PointArena::Handle> handles;
    std::vector<std::string> texts;
    for (int i = 0; i < 300; ++i) {
        const std::size_t length = i % 7 == 0 ? 300000 : 1 + i % 50;
        texts.push_back(std::string(length, static_cast<char>('a' + i % 26)) + "\n");
        texts.back().copy(arena.beginLine(texts.back().size()), texts.back().size());
        handles.push_back(arena.commitLine(texts.back().size()));
        if (i > 0) arena.link(handles[i - 1], handles[i]);
    }
    EXPECT_GT(arena.blockCount(), 1u);
    PointArena::Handle record = handles[0];
    for (std::size_t i = 0; i < texts.size(); ++i, record = arena.next(record))
        ASSERT_EQ(std::string(arena.text(record), arena.lineLength(record)), texts[i]);
    EXPECT_EQ(record, PointArena::none);
}

}  // namespace
