// Runs of trk_dump on track files made with the project's track writer and
// with trk_make.

#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "RunProgram.h"
#include "TrackTestData.h"

namespace {

std::string slurp(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> result;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) result.push_back(line);
    return result;
}

// The values of a table row or a point line, without the commas between
// vector components.
std::vector<std::string> words(std::string text) {
    for (char& c : text)
        if (c == ',') c = ' ';
    std::vector<std::string> result;
    std::istringstream in(text);
    for (std::string word; in >> word;) result.push_back(word);
    return result;
}

// The table of one chunk: the lines after its title line up to the next
// empty line.
std::vector<std::string> tableAfter(const std::string& out, const std::string& title) {
    const std::vector<std::string> all = lines(out);
    std::vector<std::string> table;
    bool inside = false;
    for (const std::string& line : all) {
        if (inside && line.empty()) break;
        if (inside) table.push_back(line);
        if (line == title) inside = true;
    }
    return table;
}

class TrkDump : public ::testing::Test {
protected:
    void SetUp() override {
        char name[] = "/tmp/trk_dump_test-XXXXXX";
        const int fd = mkstemp(name);
        ASSERT_GE(fd, 0);
        close(fd);
        path = name;
    }
    void TearDown() override { std::remove(path.c_str()); }

    void write(const std::string& bytes) {
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out << bytes;
    }
    ProgramResult dump(const std::vector<std::string>& chunks = {}) {
        std::vector<std::string> args{path};
        args.insert(args.end(), chunks.begin(), chunks.end());
        return runProgram(TRK_DUMP_PATH, args);
    }

    std::string path;
};

// A chunk of every data type, with a stride wider than its element and the
// extremes of the formats, so that a row shows whether each value was picked
// from the right bytes and written in the right form.
TestChunk everyTypeChunk() {
    VariableData parcels, positions, counts(8), speeds, velocities;
    parcels.unsigned4(7).unsigned4(4294967295u);
    positions.vector3Float4(1, 2.25f, -3).vector3Float4(0.1f, 1e-5f, 1234567);
    counts.float4(0.5f).float4(-2);
    speeds.float8(299.75).float8(1e300);
    velocities.vector3Float8(1, 2.25, -3).vector3Float8(-0.5, 0, 100000);
    TestChunk chunk;
    chunk.block = steadyChunkBlock(5, "inlet", 2,
                                   {variableDescriptor("Parcel Index", 0, "Unsigned4", 4, "ParcelId"),
                                    variableDescriptor("Position", 3, "Vector<3,Float4>", 12),
                                    variableDescriptor("Count", 0, "Float4", 8),
                                    variableDescriptor("Speed", 0, "Float8", 8),
                                    variableDescriptor("Velocity", 2, "Vector<3,Float8>", 24)});
    chunk.data = {parcels.bytes(), positions.bytes(), counts.bytes(), speeds.bytes(), velocities.bytes()};
    return chunk;
}

TEST_F(TrkDump, ListsEveryRecordAtItsByteAndShowsTheRowsOfTheChunkAskedFor) {
    std::ostringstream file;
    TrackWriter writer(file);
    Properties header;
    header.set("ClassName", std::string("Header"));
    header.set("Version", 2);
    writer.writeBlock(header);
    const std::size_t chunkAt = file.str().size();
    const TestChunk chunk = everyTypeChunk();
    writer.writeChunk(chunk.block, chunk.data);
    const std::size_t unsteadyAt = file.str().size();
    Properties unsteady = standardChunk(6, "inlet", {}).block;
    unsteady.set("Steady", false, Properties::Replace);
    writer.writeBlock(unsteady);
    write(file.str());

    const ProgramResult result = dump({"2"});
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.err, "");
    const std::string chunkLine = "record 2 at byte " + std::to_string(chunkAt) +
                                  ": ClassName 'TrackChunk', Steady true, Id 5, Name 'inlet', Size 2";
    const std::vector<std::string> expected{
        "record 1 at byte 0: ClassName 'Header'; other keys 'Version'",
        chunkLine,
        "  variable 1: Name 'Parcel Index', Type 0, DataType 'Unsigned4', DataSize 4, Tag 'ParcelId'",
        "  variable 2: Name 'Position', Type 3, DataType 'Vector<3,Float4>', DataSize 12",
        "  variable 3: Name 'Count', Type 0, DataType 'Float4', DataSize 8",
        "  variable 4: Name 'Speed', Type 0, DataType 'Float8', DataSize 8",
        "  variable 5: Name 'Velocity', Type 2, DataType 'Vector<3,Float8>', DataSize 24",
        // 2 points of 4 + 12 + 8 + 8 + 24 bytes, after the block and its separator.
        "  data: 112 bytes from byte " + std::to_string(unsteadyAt - 112),
        "record 3 at byte " + std::to_string(unsteadyAt) +
            ": ClassName 'TrackChunk', Steady false, Id 6, Name 'inlet', Size 0",
    };
    const std::vector<std::string> out = lines(result.out);
    ASSERT_GE(out.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) EXPECT_EQ(out[i], expected[i]) << "line " << i;

    const std::vector<std::string> table = tableAfter(result.out, "record 2 at byte " + std::to_string(chunkAt) +
                                                                      ", 2 points:");
    ASSERT_EQ(table.size(), 3u) << result.out;
    EXPECT_EQ(table[0],
              "Parcel Index                              Position        Count        Speed"
              "                              Velocity ");
    EXPECT_EQ(table[1],
              "           7           1,        2.25,          -3          0.5       299.75"
              "           1,        2.25,          -3 ");
    EXPECT_EQ(words(table[2]),
              (std::vector<std::string>{"4294967295", "0.1", "1e-05", "1.23457e+06", "-2", "1e+300", "-0.5", "0",
                                        "100000"}));
}

TEST_F(TrkDump, RowsHoldTheValuesTheTranslatorWrites) {
    // trk_make gives chunk k the parcels 0..points-1 in order; with groups A,
    // B, A the second chunk is group B alone, whose paths hold one point each
    // in parcel order: its rows, without the parcel index, are the point
    // lines of group 2.
    const std::string zrp = path + ".zrp";
    ASSERT_EQ(runProgram(TRK_MAKE_PATH, {"--chunks", "3", "--points", "5", "--groups", "A,B", path}).status, 0);
    ASSERT_EQ(runProgram(TRK_TO_ZRP_PATH, {path, zrp}).status, 0);
    const std::vector<std::string> zrpLines = lines(slurp(zrp));
    std::remove(zrp.c_str());

    const ProgramResult result = dump({"2"});
    ASSERT_EQ(result.status, 0) << result.err;
    std::vector<std::string> title;
    for (const std::string& line : lines(result.out))
        if (line.rfind("record 2 at byte ", 0) == 0 && line.find("points:") != std::string::npos) title.push_back(line);
    ASSERT_EQ(title.size(), 1u) << result.out;
    const std::vector<std::string> table = tableAfter(result.out, title[0]);
    ASSERT_EQ(table.size(), 6u);
    EXPECT_EQ(words(table[0]), (std::vector<std::string>{"Parcel", "Index", "Position", "Temperature", "Diameter",
                                                          "Velocity"}));

    std::vector<std::vector<std::string>> groupB;
    for (std::size_t i = 0; i + 2 < zrpLines.size(); ++i)
        if (zrpLines[i] == "1" && zrpLines[i + 1] == "2") groupB.push_back(words(zrpLines[i + 2]));
    ASSERT_EQ(groupB.size(), 5u);
    for (std::size_t point = 0; point < 5; ++point) {
        std::vector<std::string> row = words(table[point + 1]);
        ASSERT_FALSE(row.empty());
        EXPECT_EQ(row[0], std::to_string(point));
        row.erase(row.begin());
        EXPECT_EQ(row, groupB[point]) << "point " << point;
    }
}

TEST_F(TrkDump, DamagedChunksAreReportedWithoutReadingPastTheFile) {
    const TestChunk good = standardChunk(1, "A", {{0, 1, 2, 3, 0.5f, 300}, {1, 4, 5, 6, 0.25f, 301}});
    const std::string first = trackText({good});
    struct Case {
        const char* what;
        void (*damage)(TestChunk&);
        std::size_t cut;  // bytes taken off the end of the damaged chunk
        std::string message;
    };
    const std::vector<Case> cases{
        {"data cut short", [](TestChunk&) {}, 5,
         "its data runs past the end of the file (56 bytes declared after the separator byte, 51 present)"},
        {"huge Size", [](TestChunk& c) { c.block.set("Size", 2000000000, Properties::Replace); }, 0,
         "its data runs past the end of the file (56000000000 bytes declared after the separator byte, 56 present)"},
        {"negative Size", [](TestChunk& c) { c.block.set("Size", -2, Properties::Replace); }, 0,
         "\"Size\" is negative (-2); the records after it cannot be located"},
        {"negative DataSize",
         [](TestChunk& c) { descriptorOf(c, 2).set("DataSize", -4, Properties::Replace); }, 0,
         "variable 3: \"DataSize\" is negative (-4); the records after it cannot be located"},
        {"Size of another type", [](TestChunk& c) { c.block.set("Size", std::string("2"), Properties::Replace); }, 0,
         "\"Size\" is missing or is not an integer; the records after it cannot be located"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TestChunk damaged = standardChunk(2, "A", {{0, 1, 2, 3, 0.5f, 300}, {1, 4, 5, 6, 0.25f, 301}});
        c.damage(damaged);
        std::string second = trackText({damaged});
        second.resize(second.size() - c.cut);
        write(first + second);

        const ProgramResult result = dump({"1", "2"});
        EXPECT_EQ(result.status, 1);
        // The chunk before the damaged one is listed and shown in full.
        EXPECT_EQ(tableAfter(result.out, "record 1 at byte 0, 2 points:").size(), 3u) << result.out;
        EXPECT_NE(result.out.find("record 2 at byte " + std::to_string(first.size()) + ": "), std::string::npos);
        EXPECT_EQ(result.err, "trk_dump: record 2 at byte " + std::to_string(first.size()) + ": " + c.message +
                                  "\ntrk_dump: the data of record 2 cannot be shown: the listing stopped there\n");
    }
}

TEST_F(TrkDump, ColumnsThatCannotBeShownAreLeftOutWithTheReason) {
    TestChunk chunk = standardChunk(1, "A", {{3, 1, 2, 3, 0.5f, 300}});
    descriptorOf(chunk, 1).set("DataSize", 4, Properties::Replace);  // a 12-byte element in a 4-byte stride
    chunk.data[1].resize(4);
    descriptorOf(chunk, 2).set("DataType", std::string("float4"), Properties::Replace);
    write(trackText({chunk}));

    const ProgramResult result = dump({"1"});
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.err, "");
    const std::string tooSmall = "\"DataSize\" 4 is smaller than one Vector<3,Float4> element (12 bytes)";
    EXPECT_NE(result.out.find("DataSize 4 (" + tooSmall + ")\n"), std::string::npos) << result.out;
    const std::vector<std::string> table = tableAfter(result.out, "record 1 at byte 0, 1 points:");
    ASSERT_EQ(table.size(), 4u) << result.out;
    EXPECT_EQ(table[0], "  left out: Position: " + tooSmall);
    EXPECT_EQ(table[1], "  left out: Diameter: unknown \"DataType\" 'float4'");
    EXPECT_EQ(words(table[2]), (std::vector<std::string>{"Parcel", "Index", "Temperature"}));
    EXPECT_EQ(words(table[3]), (std::vector<std::string>{"3", "300"}));
}

TEST_F(TrkDump, StopsAtABlockThatDoesNotParseAndStillShowsTheChunksBefore) {
    const std::string first = trackText({standardChunk(1, "A", {{0, 1, 2, 3, 0.5f, 300}})});
    write(first + "{'Name': }");
    const ProgramResult result = dump({"1"});
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.err, "trk_dump: stopped at byte " + std::to_string(first.size()) +
                              ": the block of record 2 does not parse: PropertyParser scan failed: syntax error\n");
    EXPECT_EQ(tableAfter(result.out, "record 1 at byte 0, 1 points:").size(), 2u) << result.out;
}

TEST_F(TrkDump, AnEmptyBlockEndsTheRecordsAsInTheTranslator) {
    const std::string first = trackText({standardChunk(1, "A", {})});
    write(first + "{}" + trackText({standardChunk(2, "A", {})}));
    const ProgramResult result = dump({"2"});
    EXPECT_EQ(result.status, 1);
    const std::size_t after = slurp(path).size() - first.size() - 2;
    EXPECT_NE(result.out.find("empty block at byte " + std::to_string(first.size()) + " ends the records; the " +
                              std::to_string(after) + " bytes after it are not read\n"),
              std::string::npos)
        << result.out;
    EXPECT_EQ(result.err, "trk_dump: there is no record 2: the file has 1 records\n");
}

TEST_F(TrkDump, CommandLineErrors) {
    write(trackText({standardChunk(1, "A", {})}) + "{'ClassName': 'Other'}");
    struct Case {
        std::vector<std::string> args;
        std::string firstErrorLine;
    };
    const std::vector<Case> cases{
        {{}, "trk_dump: no track file named"},
        {{path, "0"}, "trk_dump: CHUNK must be a record number from 1 up, not '0'"},
        {{path, "1x"}, "trk_dump: CHUNK must be a record number from 1 up, not '1x'"},
        {{path, "99999999999999999999"}, "trk_dump: CHUNK must be a record number from 1 up, not '99999999999999999999'"},
        {{path + ".missing"}, "trk_dump: could not open " + path + ".missing"},
        {{path, "2"}, "trk_dump: record 2 is not a steady track chunk: it carries no data"},
    };
    for (const Case& c : cases) {
        const ProgramResult result = runProgram(TRK_DUMP_PATH, c.args);
        EXPECT_EQ(result.status, 1);
        EXPECT_EQ(lines(result.err).at(0), c.firstErrorLine);
    }
}

}  // namespace
