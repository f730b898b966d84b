// Runs of trk_dump on track files made with the project's track writer.

#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <string>
#include <vector>

#include "CommandLineCases.h"
#include "ProjectVersion.h"
#include "RunProgram.h"
#include "TrackTestData.h"

namespace {

// A one-point chunk of the standard variables and its table in the dump.
const std::string onePoint = trackText({standardChunk(1, "A", {{0, 1, 2, 3, 0.5f, 300}})});
const std::string onePointTable =
    "record 1 at byte 0, 1 points:\n"
    "Parcel Index                              Position     Diameter  Temperature \n"
    "           0           1,           2,           3          0.5          300 \n";

class TrkDump : public ::testing::Test {
protected:
    void TearDown() override { std::remove(path.c_str()); }

    ProgramResult dump(const std::string& bytes, const std::vector<std::string>& chunks) {
        writeFile(path, bytes);
        std::vector<std::string> args{path};
        args.insert(args.end(), chunks.begin(), chunks.end());
        return runProgram(TRK_DUMP_PATH, args);
    }

    const std::string path = ::testing::TempDir() + "trk_dump_test_" + std::to_string(getpid());
};

// A chunk of every data type, with a stride wider than its element and the
// extremes of the formats, so that a row shows whether each value was picked
// from the right bytes and written in the right form.
TEST_F(TrkDump, ListsEveryRecordAtItsByteAndShowsTheRowsOfTheChunkAskedFor) {
    VariableData parcels, positions, counts(8);
    parcels.unsigned4(7).unsigned4(4294967295u);
    positions.vector3Float4(1, 2.25f, -3).vector3Float4(0.1f, 1e-5f, 1234567);
    counts.float4(0.5f).float4(-2);
    const TestChunk chunk{steadyChunkBlock(5, "inlet", 2,
                                           {variableDescriptor("Parcel Index", 0, "Unsigned4", 4, "ParcelId"),
                                            variableDescriptor("Position", 3, "Vector<3,Float4>", 12),
                                            variableDescriptor("Count", 0, "Float4", 8)}),
                          {parcels.bytes(), positions.bytes(), counts.bytes()}};
    const std::string header = "{'ClassName': 'Header', 'Version': 2}";
    const std::string chunkAt = std::to_string(header.size());
    const std::size_t unsteadyAt = header.size() + trackText({chunk}).size();

    const ProgramResult result =
        dump(header + trackText({chunk}) + "{'ClassName': 'TrackChunk', 'Id': 6, 'Steady': false}", {"2"});
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.err, "");
    EXPECT_EQ(result.out,
              "record 1 at byte 0: ClassName 'Header'; other keys 'Version'\n"
              "record 2 at byte " +
                  chunkAt +
                  ": ClassName 'TrackChunk', Steady true, Id 5, Name 'inlet', Size 2\n"
                  "  variable 1: Name 'Parcel Index', Type 0, DataType 'Unsigned4', DataSize 4, Tag 'ParcelId'\n"
                  "  variable 2: Name 'Position', Type 3, DataType 'Vector<3,Float4>', DataSize 12\n"
                  "  variable 3: Name 'Count', Type 0, DataType 'Float4', DataSize 8\n"
                  // 2 points of 4 + 12 + 8 bytes, after the block and its separator.
                  "  data: 48 bytes from byte " +
                  std::to_string(unsteadyAt - 48) +
                  "\n"
                  "record 3 at byte " +
                  std::to_string(unsteadyAt) +
                  ": ClassName 'TrackChunk', Steady false, Id 6\n"
                  "\nrecord 2 at byte " +
                  chunkAt +
                  ", 2 points:\n"
                  "Parcel Index                              Position        Count \n"
                  "           7           1,        2.25,          -3          0.5 \n"
                  "  4294967295         0.1,       1e-05, 1.23457e+06           -2 \n");
}

TEST_F(TrkDump, DamagedChunksAreReportedWithoutReadingPastTheFile) {
    const std::string at = "trk_dump: record 2 at byte " + std::to_string(onePoint.size()) + ": ";
    const std::string unlocated =
        "; the records after it cannot be located\n"
        "trk_dump: the data of record 2 cannot be shown: the listing stopped there\n";
    const std::string block = "{'ClassName': 'TrackChunk', 'Steady': true, 'Size': ";
    const struct {
        std::string damaged;
        std::string err;
    } cases[] = {
        {block + "2000000, 'Variables': [{'DataSize': 28}]}\nXYZ",
         at + "variable 1: the file ends inside its data (56000000 bytes declared, 3 present)" + unlocated},
        {block + "2, 'Variables': [{'DataSize': 4}, {'DataSize': -4}]}",
         at + "variable 2: \"DataSize\" is negative (-4)" + unlocated},
        // The byte the parser quotes is escaped: it would act on the terminal.
        {"\x1b]0;x\x07",
         "trk_dump: stopped at byte " + std::to_string(onePoint.size()) +
             ": the block of record 2 does not parse: PropertyParser scan failed: Error parsing Property: lexical "
             "error. found: '\\x1b'\n"
             "trk_dump: there is no record 2 before the listing stopped\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.err);
        const ProgramResult result = dump(onePoint + c.damaged, {"1", "2"});
        EXPECT_EQ(result.status, 1);
        // The chunk before the damaged one is still shown in full.
        EXPECT_NE(result.out.find(onePointTable), std::string::npos) << result.out;
        EXPECT_EQ(result.err, c.err);
    }
}

TEST_F(TrkDump, ColumnsThatCannotBeShownAreLeftOutWithTheReason) {
    TestChunk chunk = standardChunk(1, "A", {{3, 1, 2, 3, 0.5f, 300}});
    descriptorOf(chunk, 1).set("DataSize", 4);  // a 12-byte element in a 4-byte stride
    chunk.data[1].resize(4);
    descriptorOf(chunk, 2).set("DataType", std::string("float4"));
    const ProgramResult result = dump(trackText({chunk}), {"1"});
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.err, "");
    const std::string tooSmall = "\"DataSize\" 4 is smaller than the 12 bytes of \"Vector<3,Float4>\"";
    EXPECT_NE(result.out.find("\nrecord 1 at byte 0, 1 points:\n"
                              "  left out: Position: " +
                              tooSmall +
                              "\n"
                              "  left out: Diameter: \"DataType\" \"float4\" is not a known data type\n"
                              "Parcel Index  Temperature \n"
                              "           3          300 \n"),
              std::string::npos)
        << result.out;
}

// Help and version on standard output, standard input as "-", a name that
// begins with "-" after "--"; command-line errors and files that cannot be
// read on standard error, status 1.
TEST_F(TrkDump, CommandLine) {
    writeFile(path, onePoint + "{'ClassName': 'Other'}");
    // A relative name, so that it begins with "-".
    const std::string dashed = "-trk-dump-test-" + std::to_string(getpid()) + ".trk";
    writeFile(dashed, onePoint);
    const std::string listing = "record 1 at byte 0: ClassName 'TrackChunk', Steady true, Id 1, Name 'A', Size 1\n";
    const std::string notRecord = "trk_dump: CHUNK must be a record number from 1 up, not ";
    expectCommandLines(
        TRK_DUMP_PATH,
        {
            {{"--help"}, "/dev/null", 0, "Usage: trk_dump [options] FILE [CHUNK...]\n", ""},
            {{path, "1", "-h"}, "/dev/null", 0, "Usage: trk_dump [options] FILE [CHUNK...]\n", ""},
            {{"--version"}, "/dev/null", 0, "trk_dump " TRK_TO_ZRP_VERSION "\n", ""},
            {{"-", "1"}, path, 0, listing, ""},
            {{"--", dashed}, "/dev/null", 0, listing, ""},
            {{dashed},
             "/dev/null",
             1,
             "",
             "trk_dump: unknown option -t in " + dashed + " (a file name that begins with - follows --)"},
            {{"--bogus", path}, "/dev/null", 1, "", "trk_dump: unknown option --bogus"},
            {{}, "/dev/null", 1, "", "trk_dump: no track file named"},
            {{path, "99999999999999999999"}, "/dev/null", 1, "", notRecord + "'99999999999999999999'"},
            {{"/"}, "/dev/null", 1, "", "trk_dump: could not open /: Is a directory"},
            {{"/proc/self/mem"}, "/dev/null", 1, "", "trk_dump: could not read /proc/self/mem: Input/output error"},
            {{path, "2"},
             "/dev/null",
             1,
             listing,
             "trk_dump: record 2 is not a steady track chunk: it carries no data"},
        });
    std::remove(dashed.c_str());
}

// A pipe is listed as the file is: the offsets are counted, not asked of the
// input; data that cannot be checked against a size is read, and the bytes
// after an empty block are counted by reading them. Each case has a line
// that both must give.
TEST_F(TrkDump, AFileThroughAPipeIsListedAsTheFile) {
    const std::string two = onePoint + trackText({standardChunk(2, "B", {{7, 4, 5, 6, 0.25f, 310}})});
    const std::string twoAt = std::to_string(onePoint.size());
    const struct {
        std::string bytes, line;
    } cases[] = {
        {two + "{'ClassName': 'Other'}", "record 3 at byte " + std::to_string(two.size()) + ": ClassName 'Other'\n"},
        // Data cut short: where it would lie is listed before the reason.
        {two.substr(0, two.size() - 3), "  data: 28 bytes from byte " + std::to_string(two.size() - 28) + "\n"},
        {onePoint + "{}" + two, "empty block at byte " + twoAt + " ends the records; the " +
                                    std::to_string(two.size()) + " bytes after it are not read\n"},
        {onePoint + "{'a': [}" + two,
         "trk_dump: stopped at byte " + twoAt +
             ": the block of record 2 does not parse: PropertyParser scan failed: syntax error\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.line);
        const ProgramResult fromFile = dump(c.bytes, {"2", "1"});
        EXPECT_NE((fromFile.out + fromFile.err).find(c.line), std::string::npos) << fromFile.out << fromFile.err;
        for (const char* name : {"-", "/dev/stdin"}) {
            SCOPED_TRACE(name);
            const ProgramResult fromPipe =
                runProgram("/bin/sh", {"-c", "cat \"$1\" | \"$2\" \"$3\" 2 1", "sh", path, TRK_DUMP_PATH, name});
            EXPECT_EQ(fromPipe.status, fromFile.status);
            EXPECT_EQ(fromPipe.out, fromFile.out);
            EXPECT_EQ(fromPipe.err, fromFile.err);
        }
    }
}

}  // namespace
