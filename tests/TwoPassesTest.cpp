#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "TrackTestData.h"
#include "Translation.h"

namespace {

// The diagnostics of a translation of the bytes, then its ZRP text.
std::string translated(const std::string& bytes) {
    std::istringstream in(bytes);
    std::ostringstream messages, zrp;
    translateTrack(in, "in.trk", nullptr, zrp, messages);
    return messages.str() + zrp.str();
}

// The parcel index is found by its name or by its tag; a variable of a type
// other than 0, 2 and 3 has its data skipped and appears nowhere.
TEST(TwoPasses, VariableAnalysisOfTheFirstChunk) {
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
        EXPECT_EQ(translated(trackText({chunk})),
                  "ZRPARTICLES 2 1\nTag Names\n0\nVariable Names\n4\nTemperature\nVelocity-u\nVelocity-v\nVelocity-w\n"
                  "1\n1 2 3 0.5 0 0 1 \n");
    }
}

// A position of a scalar type writes one value; its stride may be wider
// than the element.
TEST(TwoPasses, AScalarPositionWritesOneValue) {
    const struct {
        const char* type;
        VariableData data;
        const char* line;
    } cases[] = {
        {"Float4", VariableData().float4(1.5f), "1.5 0.25 \n"},
        {"Float8", VariableData(16).float8(-2e-7), "-2e-07 0.25 \n"},
        {"Unsigned4", VariableData().unsigned4(4294967295u), "4294967295 0.25 \n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.type);
        TestChunk chunk;
        chunk.block =
            steadyChunkBlock(1, "A", 1,
                             {variableDescriptor("Parcel Index", 0, "Unsigned4", 4),
                              variableDescriptor("Position", 3, c.type, static_cast<int>(c.data.bytes().size())),
                              variableDescriptor("Diameter", 0, "Float4", 4)});
        chunk.data = {VariableData().unsigned4(0).bytes(), c.data.bytes(), VariableData().float4(0.25f).bytes()};
        EXPECT_EQ(translated(trackText({chunk})),
                  std::string("ZRPARTICLES 2 1\nTag Names\n0\nVariable Names\n1\nDiameter\n1\n") + c.line);
    }
}

// Groups are numbered in order of first appearance, points join their path
// in file order, and paths are written by ascending parcel index.
TEST(TwoPasses, ChunksJoinTheirGroupInFileOrder) {
    EXPECT_EQ(translated(
                  trackText({standardChunk(1, "B", {{4294967295u, 1, 0, 0, 1, 1}, {7, 2, 0, 0, 1, 1}}),
                             standardChunk(2, "A", {{4, 3, 0, 0, 1, 1}}),
                             standardChunk(3, "B", {{7, 4, 0, 0, 1, 1}, {0, 5, 0, 0, 1, 1}, {65536, 6, 0, 0, 1, 1}})})),
              "ZRPARTICLES 2 1\nTag Names\n2\nB\nA\nVariable Names\n2\nDiameter\nTemperature\n"
              "1\n1\n5 0 0 1 1 \n2\n1\n2 0 0 1 1 \n4 0 0 1 1 \n1\n1\n6 0 0 1 1 \n1\n1\n1 0 0 1 1 \n"
              "1\n2\n3 0 0 1 1 \n");
}

TEST(TwoPasses, RecordsThatAreNotSteadyChunksArePassedOver) {
    const std::string others =
        "{'ClassName': 'Header', 'Steady': true}{'ClassName': 'TrackChunk', 'Steady': false}"
        "{'ClassName': 'TrackChunk', 'Id': 9}{'Steady': true}\n";
    // A chunk without points reads no values: its parcel index may have any
    // type. It still makes its group, which gets no path.
    TestChunk empty = standardChunk(1, "E", {});
    descriptorOf(empty, 0).set("DataType", std::string("Float4"));
    // The empty block ends the records, with a warning when records follow.
    const std::string track = others + trackText({empty, referenceChunks("B")[1]}) + "{}" +
                              trackText({standardChunk(3, "Z", {{0, 9, 9, 9, 9, 9}})});
    const std::string end = std::to_string(track.find("{}"));
    EXPECT_EQ(translated(track), "Warning:  the empty block \"{}\" at byte " + end +
                                     " ends the records; later records were not read.\n"
                                     "ZRPARTICLES 2 1\nTag Names\n2\nE\nB\nVariable Names\n2\nDiameter\nTemperature\n"
                                     "1\n2\n2 0 0 0.125 299.75 \n");
}

TEST(TwoPasses, LaterChunksMustDeclareTheSameVariables) {
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
        {"leading part only", {parcel, position, diameter}, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        const std::vector<std::vector<char>> noData(c.variables.size());
        const TestChunk later{steadyChunkBlock(2, "A", 0, c.variables), noData};
        const std::string text = translated(trackText({standardChunk(1, "A", {}), later}));
        EXPECT_EQ(text.substr(0, text.find("ZRPARTICLES")),
                  c.accepted ? ""
                             : "Error:  Variable names mismatch.\nAll TrackChunks must specify the samevariable "
                               "names in the same order\nto be exported to the ASCII ZRP file format.\n\n");
    }
}

}  // namespace

namespace {

// A chunk of parcels 1 and 2 whose velocity is three scalars "V-u", "V-v",
// "V-w" or one vector "V".
TestChunk velocityChunk(int id, bool vector, float scale) {
    std::vector<Properties> variables{variableDescriptor("P", 0, "Unsigned4", 4, "ParcelId"),
                                      variableDescriptor("Position", 3, "Vector<3,Float4>", 12)};
    VariableData parcels, positions, u, v, w, velocities;
    for (std::uint32_t p = 1; p <= 2; ++p) {
        parcels.unsigned4(p);
        positions.vector3Float4(float(p), scale, 0);
        u.float4(scale * float(p));
        v.float4(-scale);
        w.float4(0.5f);
        velocities.vector3Float4(scale * float(p), -scale, 0.5f);
    }
    TestChunk chunk;
    chunk.data = {parcels.bytes(), positions.bytes()};
    if (vector) {
        variables.push_back(variableDescriptor("V", 2, "Vector<3,Float4>", 12));
        chunk.data.push_back(velocities.bytes());
    } else {
        for (const char* name : {"V-u", "V-v", "V-w"}) variables.push_back(variableDescriptor(name, 0, "Float4", 4));
        chunk.data.insert(chunk.data.end(), {u.bytes(), v.bytes(), w.bytes()});
    }
    chunk.block = steadyChunkBlock(id, "A", 2, variables);
    return chunk;
}

// A vector in one chunk and its three scalars in another are the same
// values to every output, in either order and within any budget: text gives
// the same lines as with scalars only, and VTK PolyData the same file within
// a budget as without.
TEST(TwoPasses, AVectorAndItsScalarsInAnotherChunkAreTheSameValues) {
    const std::string scalarsOnly = trackText({velocityChunk(1, false, 1), velocityChunk(2, false, 2)});
    for (const OutputFormat format : {OutputFormat::Zrp, OutputFormat::Csv, OutputFormat::Vtp}) {
        for (const bool vectorFirst : {false, true}) {
            const std::string track = trackText({velocityChunk(1, vectorFirst, 1), velocityChunk(2, !vectorFirst, 2)});
            for (const std::uint64_t budget : {std::uint64_t(0), std::uint64_t(4) << 10}) {
                SCOPED_TRACE(std::to_string(int(format)) + (vectorFirst ? ", vector first" : ", scalars first") +
                             ", budget " + std::to_string(budget));
                std::istringstream in(format == OutputFormat::Vtp ? track : scalarsOnly);
                std::istringstream again(track);
                std::ostringstream out, err, reference, referenceErr;
                TranslationOptions options;
                options.format = format;
                options.memoryBudget = budget;
                EXPECT_EQ(translateTrack(again, "in.trk", nullptr, out, err, options).status, 0);
                EXPECT_EQ(err.str(), "");
                options.memoryBudget = 0;
                translateTrack(in, "in.trk", nullptr, reference, referenceErr, options);
                EXPECT_EQ(out.str(), reference.str());
            }
        }
    }
}

}  // namespace
