// End-to-end runs of trk_to_zrp on track files made with the track writer.

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "RunProgram.h"
#include "TrackTestData.h"

namespace {

const std::string referenceZrp =
    "ZRPARTICLES 2 1\nTag Names\n2\nA\nB\nVariable Names\n2\nDiameter\nTemperature\n"
    "1\n1\n0 0 0 0.5 300 \n1\n1\n1 0 0 0.25 301.5 \n1\n2\n2 0 0 0.125 299.75 \n";

class Translation : public ::testing::Test {
protected:
    void TearDown() override { removeDir(dir); }

    std::string input(const std::string& bytes) {
        writeFile(dir + "in.trk", bytes);
        return dir + "in.trk";
    }
    ProgramResult run(const std::vector<std::string>& args, const std::string& stdoutPath = "") {
        return runProgram(TRK_TO_ZRP_PATH, args, "trk_to_zrp", stdoutPath);
    }

    const std::string dir = makeTempDir("translation");
};

TEST_F(Translation, ReferenceExampleToStandardOutputAndToAFile) {
    const std::string in = input(trackText(referenceChunks("B")));
    ProgramResult toStdout = run({in});
    EXPECT_EQ(toStdout.status, 0);
    EXPECT_EQ(toStdout.err, "");
    EXPECT_EQ(toStdout.out, referenceZrp);
    ProgramResult toFile = run({in, dir + "out.zrp"});
    EXPECT_EQ(toFile.status, 0);
    EXPECT_EQ(toFile.out, dir + "out.zrp written.\n");
    EXPECT_EQ(readFile(dir + "out.zrp"), referenceZrp);
    // No temporary file is left beside the output.
    EXPECT_EQ(filesIn(dir), (std::set<std::string>{"in.trk", "out.zrp"}));
}

TEST_F(Translation, OneTagGroupAndXmlBlocks) {
    ProgramResult result = run({input(trackText(referenceChunks("A"), BlockNotation::Xml))});
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.out,
              "ZRPARTICLES 2 1\nTag Names\n0\nVariable Names\n2\nDiameter\nTemperature\n"
              "1\n0 0 0 0.5 300 \n2\n1 0 0 0.25 301.5 \n2 0 0 0.125 299.75 \n");
}

// The shipped example stays what the translator makes of it.
TEST_F(Translation, BundledExample) {
    ProgramResult result = run({EXAMPLES_DIR "/particles.trk"});
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.out, readFile(EXAMPLES_DIR "/particles.zrp"));
}

// The reference track, changed key by key in its first chunk. Variable -1
// stands for the chunk's own block.
class Changed {
public:
    template <typename T>
    Changed& set(int variable, const std::string& key, const T& value) {
        keys(variable).set(key, value);
        return *this;
    }
    Changed& remove(int variable, const std::string& key) {
        keys(variable).remove(key);
        return *this;
    }
    operator std::string() const { return trackText(chunks); }

private:
    Properties keys(int variable) {
        return variable < 0 ? chunks[0].block : descriptorOf(chunks[0], static_cast<std::size_t>(variable));
    }

    std::vector<TestChunk> chunks = referenceChunks("B");
};

struct FailureCase {
    const char* label;
    std::string track;
    std::string err;  // "IN" stands for the input path
};

std::vector<FailureCase> failureCases() {
    const std::string noKey = "Property with name ";  // the library's warning comes first
    const std::string first = "Error:  track chunk (record 1, byte 0, Id 1): ";
    const std::string diameter = first + "variable 3 (\"Diameter\"): ";
    const std::string whole = trackText(referenceChunks("B"));
    const std::string secondOffset = std::to_string(trackText({referenceChunks("B")[0]}).size());
    const std::string second = "Error:  track chunk (record 2, byte " + secondOffset + ", Id 2): ";
    static const char hostile[] = "Dia\0me\x1b[2J\x1b]0;x\x07\x7f\xc3\xa9ter";
    const std::string hostileName(hostile, sizeof hostile - 1);
    TestChunk unsteady = standardChunk(1, "A", {});
    unsteady.block.set("Steady", false);
    return {
        {"no steady chunk", trackText({unsteady}), "Error:  IN contained only unsteady track chunks.\n"},
        {"no position", Changed().set(1, "Type", 1), "Error:  Expecting a variable \"Position\"\n"},
        {"no parcel index", Changed().set(0, "Type", 7), "Error:  Expecting a variable \"Parcel Id\"\n"},
        {"parcel index not Unsigned4", Changed().set(0, "DataType", "Float4"),
         "Error:  getDataValue() for \"Parcel Index\" failed.\n"},
        {"missing Size", Changed().remove(-1, "Size"),
         noKey + "\"Size\" does not exist\n" + first + "\"Size\" is missing or is not an integer.\n"},
        {"missing Id", Changed().remove(-1, "Id"),
         noKey + "\"Id\" does not exist\n"
                 "Error:  track chunk (record 1, byte 0): \"Id\" is missing or is not an integer.\n"},
        {"Variables not a list of maps", Changed().set(-1, "Variables", std::vector<int>{1}),
         first + "\"Variables\" is missing or is not a list of variable descriptors.\n"},
        // Control bytes in a name are shown escaped, a byte zero is not the
        // end of the message, and UTF-8 stays as it is.
        {"variable without DataType", Changed().set(2, "Name", hostileName).remove(2, "DataType"),
         noKey + "\"DataType\" does not exist\n" + first +
             "variable 3 (\"Dia\\0me\\x1b[2J\\x1b]0;x\\x07\\x7f\xc3\xa9ter\"): \"DataType\" is missing or is not a "
             "string.\n"},
        {"vector without Name", Changed().set(2, "Type", 2).remove(2, "Name"),
         noKey + "\"Name\" does not exist\n" + first + "variable 3: \"Name\" is missing or is not a string.\n"},
        {"Tag of another type", Changed().set(2, "Tag", 5), diameter + "\"Tag\" is not a string.\n"},
        {"negative Size", Changed().set(-1, "Size", -1), first + "\"Size\" is negative (-1).\n"},
        {"data length beyond 32 bits", Changed().set(-1, "Size", 70000).set(2, "DataSize", 70000),
         diameter + "the data length \"Size\" 70000 times \"DataSize\" 70000 does not fit in 32 bits.\n"},
        // A stride shorter than its element would read past the data.
        {"position stride", Changed().set(1, "DataSize", 8),
         first + "variable 2 (\"Position\"): \"DataSize\" 8 is smaller than the 12 bytes of \"Vector<3,Float4>\".\n"},
        {"truncated data", whole.substr(0, whole.size() - 3),
         second + "variable 4 (\"Temperature\"): the file ends inside its data (8 bytes declared, 5 present).\n"},
        {"unknown data type", Changed().set(2, "DataType", "float4"),
         diameter + "\"DataType\" \"float4\" is not a known data type.\n"},
        // More or fewer values than names would shift every later column.
        {"vector with a scalar type", Changed().set(2, "Type", 2),
         diameter + "\"DataType\" \"Float4\" does not fit a vector variable (type 2).\n"},
        // Names are compared after a vector's get their suffixes.
        {"output name declared twice", Changed().set(2, "Type", 2).set(3, "Name", "Diameter-v"),
         first + "variable 4 (\"Diameter-v\"): the output variable name \"Diameter-v\" is declared twice.\n"},
        {"two parcel-index variables", Changed().set(2, "Tag", "ParcelId"),
         diameter + "a second parcel-index variable is declared.\n"},
    };
}

// A failing run reports on stderr alone.
TEST_F(Translation, FailuresReportTheirCause) {
    for (const FailureCase& c : failureCases()) {
        SCOPED_TRACE(c.label);
        const std::string in = input(c.track);
        std::string expected = c.err;
        if (expected.compare(0, 10, "Error:  IN") == 0) expected.replace(8, 2, in);
        ProgramResult result = run({in});
        EXPECT_EQ(result.status, 1);
        EXPECT_EQ(result.err, expected);
        EXPECT_EQ(result.out, "");
    }
}

// The input is read in full before the output is touched.
TEST_F(Translation, FailedRunLeavesAnExistingOutputFileAsItWas) {
    const std::string track = trackText(referenceChunks("B"));
    const std::string in = input(track.substr(0, track.size() - 1));
    writeFile(dir + "old.zrp", "old text\n");
    EXPECT_EQ(run({in, dir + "old.zrp"}).status, 1);
    EXPECT_EQ(readFile(dir + "old.zrp"), "old text\n");
    EXPECT_EQ(filesIn(dir), (std::set<std::string>{"in.trk", "old.zrp"}));
}

// Stored files may carry bytes after their last record: the chunks before
// them are translated, with one warning; --strict makes it an error that
// writes nothing.
// Bytes that do not parse, or an empty block with records after it, end the
// records: the records before them are translated, with a warning, or with
// --strict nothing is.
TEST_F(Translation, AnEndBeforeTheLastRecordWarnsOrWithStrictFails) {
    const std::string track = trackText(referenceChunks("B"));
    const std::string where = "at byte " + std::to_string(track.size());
    // The parser's message quotes the byte it stopped at, escaped.
    const std::string parser = "PropertyParser scan failed: Error parsing Property: lexical error. found: '\\x1b'";
    const struct {
        std::string after;
        std::string warning;
        std::string error;
    } endings[] = {
        {"\n\x1b]0;garbage\x07", "reading stopped " + where + ": " + parser + "; later records were not read.",
         "the block " + where + " does not parse: " + parser + "."},
        {"{}" + trackText({standardChunk(3, "A", {{0, 1, 1, 1, 1, 1}})}),
         "the empty block \"{}\" " + where + " ends the records; later records were not read.",
         "the empty block \"{}\" " + where + " ends the records before the end of the input."},
    };
    for (const auto& ending : endings) {
        const std::string in = input(track + ending.after);
        ProgramResult result = run({in});
        EXPECT_EQ(result.status, 0);
        EXPECT_EQ(result.out, referenceZrp);
        EXPECT_EQ(result.err, "Warning:  " + ending.warning + "\n");

        writeFile(dir + "old.zrp", "old text\n");
        result = run({"--strict", in, dir + "old.zrp"});
        EXPECT_EQ(result.status, 1);
        EXPECT_EQ(result.out, "");
        EXPECT_EQ(result.err, "Error:  " + ending.error + "\n");
        EXPECT_EQ(readFile(dir + "old.zrp"), "old text\n");
        EXPECT_EQ(filesIn(dir), (std::set<std::string>{"in.trk", "old.zrp"}));
    }
    // An empty block at the very end ends nothing early.
    EXPECT_EQ(run({input(track + "{}\n")}).err, "");
}

// A tag name with a line break would break the lines of a ZRP file: it is
// refused where it would be written, and kept where it would not.
TEST_F(Translation, ATagNameThatWouldBreakTheLinesIsRefused) {
    const std::string broken =
        trackText({standardChunk(1, "in\nlet", {{0, 1, 1, 1, 1, 1}}), standardChunk(2, "B", {{0, 1, 1, 1, 1, 1}})});
    const ProgramResult refused = run({input(broken)});
    EXPECT_EQ(refused.status, 1);
    EXPECT_EQ(refused.err,
              "Error:  the tag name \"in\\x0alet\" holds a line break, which would break the lines of a ZRP file.\n");
    EXPECT_EQ(run({"--format", "csv", input(broken)}).status, 0);
    EXPECT_EQ(run({input(trackText({standardChunk(1, "in\rlet", {{0, 1, 1, 1, 1, 1}})}))}).status, 0);
}

TEST_F(Translation, WriteFailuresAreReported) {
    const std::string in = input(trackText(referenceChunks("B")));
    ProgramResult toFullDevice = run({in, "/dev/full"});
    EXPECT_EQ(toFullDevice.status, 1);
    EXPECT_EQ(toFullDevice.err, "Error:  could not write output file: No space left on device\n");
    ProgramResult fullStdout = run({in}, "/dev/full");
    EXPECT_EQ(fullStdout.status, 1);
    EXPECT_EQ(fullStdout.err, "Error:  could not write standard output: No space left on device\n");
    // The " written." line is checked too; the file, complete by then, stays.
    for (const std::string& standardOutput : {std::string("/dev/full"), std::string("-")}) {
        SCOPED_TRACE(standardOutput);
        ProgramResult unreported = run({in, dir + "kept.zrp"}, standardOutput);
        EXPECT_EQ(unreported.status, 1);
        EXPECT_EQ(unreported.err,
                  "Error:  could not write standard output: " +
                      std::string(standardOutput == "-" ? "Bad file descriptor" : "No space left on device") + "\n");
        EXPECT_EQ(readFile(dir + "kept.zrp"), referenceZrp);
        std::remove((dir + "kept.zrp").c_str());
    }

    for (const std::string& target : {dir + "missing/out.zrp", dir, std::string()}) {
        SCOPED_TRACE(target);
        ProgramResult unopenable = run({in, target});
        EXPECT_EQ(unopenable.status, 1);
        EXPECT_EQ(unopenable.err, "Error: could not open output file\nUsage: trk_to_zrp inputfile [outputfile]\n");
        EXPECT_EQ(unopenable.out, "");
    }
    EXPECT_EQ(filesIn(dir), (std::set<std::string>{"in.trk"}));
}

// The output is written beside the target and renamed over it: the file a
// link points at is replaced, with its permissions, and a new file gets the
// permissions the umask allows rather than those of a temporary file.
TEST_F(Translation, ReplacedOutputKeepsItsPermissionsAndLinks) {
    const std::string in = input(trackText(referenceChunks("B")));
    writeFile(dir + "kept.zrp", "old");
    ASSERT_EQ(chmod((dir + "kept.zrp").c_str(), 0640), 0);
    ASSERT_EQ(symlink("kept.zrp", (dir + "link.zrp").c_str()), 0);

    EXPECT_EQ(run({in, dir + "link.zrp"}).status, 0);
    EXPECT_EQ(readFile(dir + "kept.zrp"), referenceZrp);
    struct stat linkStatus, fileStatus;
    ASSERT_EQ(lstat((dir + "link.zrp").c_str(), &linkStatus), 0);
    EXPECT_TRUE(S_ISLNK(linkStatus.st_mode));
    ASSERT_EQ(stat((dir + "kept.zrp").c_str(), &fileStatus), 0);
    EXPECT_EQ(fileStatus.st_mode & 07777, 0640u);

    const mode_t mask = umask(022);
    EXPECT_EQ(run({in, dir + "fresh.zrp"}).status, 0);
    umask(mask);
    ASSERT_EQ(stat((dir + "fresh.zrp").c_str(), &fileStatus), 0);
    EXPECT_EQ(fileStatus.st_mode & 07777, 0644u);
}

// Address space limits do not work under the sanitizer, whose shadow memory
// needs far more.
#if !defined(__SANITIZE_ADDRESS__)
// Runs the translator with its address space limited to `kilobytes`.
ProgramResult runLimited(const std::vector<std::string>& args, int kilobytes) {
    std::vector<std::string> shellArgs{"-c", "ulimit -v " + std::to_string(kilobytes) + " && exec \"$@\"", "sh",
                                       TRK_TO_ZRP_PATH};
    shellArgs.insert(shellArgs.end(), args.begin(), args.end());
    return runProgram("/bin/sh", shellArgs);
}

// Paths are held by the parcel indexes that occur, so the largest index
// costs no more memory than the smallest.
TEST_F(Translation, LargeParcelIndexesFitInLittleMemory) {
    ProgramResult result = runLimited(
        {input(trackText({standardChunk(1, "A", {{4294967295u, 1, 0, 0, 1, 1}, {0, 2, 0, 0, 1, 1}})}))}, 100000);
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(result.out.substr(result.out.find("1\n2 0")), "1\n2 0 0 1 1 \n1\n1 0 0 1 1 \n");
}

// 30 million points whose data is a hole in a sparse file: the 360 MB
// position buffer cannot be had within 300 MB.
TEST_F(Translation, OutOfMemoryIsReported) {
    const int points = 30000000;
    TestChunk chunk = standardChunk(1, "A", {});
    chunk.block.set("Size", points);
    const std::string block = trackText({chunk});
    const std::string in = input(block);
    ASSERT_EQ(truncate(in.c_str(), static_cast<off_t>(block.size()) + 28LL * points), 0);

    ProgramResult result = runLimited({in, dir + "out.zrp"}, 300000);
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.err, "Error:  out of memory\n");
    EXPECT_EQ(filesIn(dir), (std::set<std::string>{"in.trk"}));
}
#endif

}  // namespace
