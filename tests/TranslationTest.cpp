// End-to-end runs of trk_to_zrp on track files made with the track writer.

#include <gtest/gtest.h>

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <functional>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "RunProgram.h"
#include "TrackTestData.h"

namespace {

const std::string referenceZrp =
    "ZRPARTICLES 2 1\nTag Names\n2\nA\nB\nVariable Names\n2\nDiameter\nTemperature\n"
    "1\n1\n0 0 0 0.5 300 \n1\n1\n1 0 0 0.25 301.5 \n1\n2\n2 0 0 0.125 299.75 \n";

const std::string mismatchLines =
    "Error:  Variable names mismatch.\nAll TrackChunks must specify the samevariable names in the same order\n"
    "to be exported to the ASCII ZRP file format.\n\n";

std::string slurp(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

void spit(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
}

std::set<std::string> filesIn(const std::string& directory) {
    std::set<std::string> names;
    if (DIR* dir = opendir(directory.c_str())) {
        while (dirent* entry = readdir(dir))
            if (std::string(entry->d_name) != "." && std::string(entry->d_name) != "..") names.insert(entry->d_name);
        closedir(dir);
    }
    return names;
}

class Translation : public ::testing::Test {
protected:
    void SetUp() override {
        std::string pattern = ::testing::TempDir() + "translation-XXXXXX";
        ASSERT_NE(mkdtemp(&pattern[0]), nullptr);
        dir = pattern + "/";
    }
    void TearDown() override {
        for (const std::string& name : filesIn(dir)) std::remove((dir + name).c_str());
        rmdir(dir.c_str());
    }

    std::string input(const std::string& bytes, const std::string& name = "in.trk") {
        spit(dir + name, bytes);
        return dir + name;
    }
    ProgramResult run(const std::vector<std::string>& args, const std::string& stdoutPath = "") {
        return runProgram(TRK_TO_ZRP_PATH, args, "trk_to_zrp", stdoutPath);
    }

    std::string dir;
};

TEST_F(Translation, ReferenceExampleToStandardOutputAndToAFile) {
    const std::string in = input(trackText(referenceChunks("B")));
    ProgramResult toStdout = run({in});
    EXPECT_EQ(toStdout.status, 0);
    EXPECT_EQ(toStdout.err, "");
    EXPECT_EQ(toStdout.out, referenceZrp);

    ProgramResult toFile = run({in, dir + "out.zrp"});
    EXPECT_EQ(toFile.status, 0);
    EXPECT_EQ(toFile.err, "");
    EXPECT_EQ(toFile.out, dir + "out.zrp written.\n");
    EXPECT_EQ(slurp(dir + "out.zrp"), referenceZrp);
    // Nothing but the input and the output is left in the directory.
    EXPECT_EQ(filesIn(dir), (std::set<std::string>{"in.trk", "out.zrp"}));
}

// The shipped example and the ZRP file shipped with it.
TEST_F(Translation, BundledExample) {
    ProgramResult result = run({EXAMPLES_DIR "/particles.trk"});
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.err, "");
    EXPECT_EQ(result.out, slurp(EXAMPLES_DIR "/particles.zrp"));
}

TEST_F(Translation, OneTagGroupAndXmlBlocks) {
    ProgramResult result = run({input(trackText(referenceChunks("A"), BlockNotation::Xml))});
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.out,
              "ZRPARTICLES 2 1\nTag Names\n0\nVariable Names\n2\nDiameter\nTemperature\n"
              "1\n0 0 0 0.5 300 \n2\n1 0 0 0.25 301.5 \n2 0 0 0.125 299.75 \n");
}

// A failing run reports on stderr only, creates no output file and leaves an
// existing one untouched.
struct FailureCase {
    const char* label;
    std::function<std::string()> track;  // the input file's bytes
    std::string err;                     // stderr; "IN" stands for the input path
};

std::string withChunk(const std::function<void(TestChunk&)>& change) {
    std::vector<TestChunk> chunks = referenceChunks("B");
    change(chunks[0]);
    return trackText(chunks);
}

std::string withSecondChunk(const std::function<void(TestChunk&)>& change) {
    std::vector<TestChunk> chunks = referenceChunks("B");
    change(chunks[1]);
    return trackText(chunks);
}

const std::string first = "Error:  track chunk (record 1, byte 0, Id 1): ";
const std::string diameterLabel = first + "variable 3 (\"Diameter\"): ";

std::vector<FailureCase> failureCases() {
    const std::string secondOffset = std::to_string(trackText({referenceChunks("B")[0]}).size());
    return {
        {"empty input", [] { return std::string(); }, "Error:  IN contained only unsteady track chunks.\n"},
        {"no steady chunk",
         [] {
             std::ostringstream out;
             TrackWriter writer(out);
             Properties block = steadyChunkBlock(1, "A", 0, {});
             block.set("Steady", false);
             writer.writeBlock(block);
             return out.str();
         },
         "Error:  IN contained only unsteady track chunks.\n"},
        {"no position or parcel index",
         [] {
             return withChunk([](TestChunk& c) {
                 descriptorOf(c, 1).set("Type", 1);
                 descriptorOf(c, 0).set("Type", 1);
             });
         },
         "Error:  Expecting a variable \"Position\"\n"},
        {"no parcel index",
         [] { return withChunk([](TestChunk& c) { descriptorOf(c, 0).set("Type", 7); }); },
         "Error:  Expecting a variable \"Parcel Id\"\n"},
        {"later chunk in another order",
         [] {
             return withSecondChunk([](TestChunk& c) {
                 descriptorOf(c, 2).set("Name", std::string("Temperature"));
                 descriptorOf(c, 3).set("Name", std::string("Diameter"));
             });
         },
         mismatchLines},
        {"later chunk with a leading part of the variables",
         [] {
             return withSecondChunk([](TestChunk& c) {
                 std::vector<Properties> variables{descriptorOf(c, 0), descriptorOf(c, 1), descriptorOf(c, 2)};
                 c.block.set("Variables", variables);
                 c.data.pop_back();
             });
         },
         mismatchLines},
        {"parcel index not Unsigned4",
         [] { return withChunk([](TestChunk& c) { descriptorOf(c, 0).set("DataType", std::string("Float4")); }); },
         "Error:  getDataValue() for \"Parcel Index\" failed.\n"},
        {"missing Size",
         [] { return withChunk([](TestChunk& c) { c.block.remove("Size"); }); },
         "Property with name \"Size\" does not exist\n" + first + "\"Size\" is missing or is not an integer.\n"},
        {"Size of another type",
         [] { return withChunk([](TestChunk& c) { c.block.set("Size", std::string("2")); }); },
         first + "\"Size\" is missing or is not an integer.\n"},
        {"missing Id",
         [] { return withChunk([](TestChunk& c) { c.block.remove("Id"); }); },
         "Property with name \"Id\" does not exist\nError:  track chunk (record 1, byte 0): \"Id\" is missing or is "
         "not an integer.\n"},
        {"missing Name",
         [] { return withSecondChunk([](TestChunk& c) { c.block.remove("Name"); }); },
         "Property with name \"Name\" does not exist\nError:  track chunk (record 2, byte " + secondOffset +
             ", Id 2): \"Name\" is missing or is not a string.\n"},
        {"Variables not a list of maps",
         [] { return withChunk([](TestChunk& c) { c.block.set("Variables", std::vector<int>{1, 2}); }); },
         first + "\"Variables\" is missing or is not a list of variable descriptors.\n"},
        {"variable without DataType",
         [] { return withChunk([](TestChunk& c) { descriptorOf(c, 2).remove("DataType"); }); },
         "Property with name \"DataType\" does not exist\n" + diameterLabel +
             "\"DataType\" is missing or is not a string.\n"},
        {"variable without Type",
         [] { return withChunk([](TestChunk& c) { descriptorOf(c, 2).remove("Type"); }); },
         "Property with name \"Type\" does not exist\n" + diameterLabel + "\"Type\" is missing or is not an integer.\n"},
        {"vector without Name",
         [] {
             return withChunk([](TestChunk& c) {
                 descriptorOf(c, 2).set("Type", 2);
                 descriptorOf(c, 2).remove("Name");
             });
         },
         "Property with name \"Name\" does not exist\n" + first + "variable 3: \"Name\" is missing or is not a string.\n"},
        {"Tag of another type",
         [] { return withChunk([](TestChunk& c) { descriptorOf(c, 2).set("Tag", 5); }); },
         diameterLabel + "\"Tag\" is not a string.\n"},
        {"negative Size",
         [] { return withChunk([](TestChunk& c) { c.block.set("Size", -1); }); },
         first + "\"Size\" is negative (-1).\n"},
        {"negative DataSize",
         [] { return withChunk([](TestChunk& c) { descriptorOf(c, 2).set("DataSize", -4); }); },
         diameterLabel + "\"DataSize\" is negative (-4).\n"},
        {"data length beyond 32 bits",
         [] {
             return withChunk([](TestChunk& c) {
                 c.block.set("Size", 70000);
                 descriptorOf(c, 2).set("DataSize", 70000);
             });
         },
         diameterLabel + "the data length \"Size\" 70000 times \"DataSize\" 70000 does not fit in 32 bits.\n"},
        {"position stride shorter than its type",
         [] { return withChunk([](TestChunk& c) { descriptorOf(c, 1).set("DataSize", 8); }); },
         // 2 points of 8 bytes leave 8 bytes of positions for the next variable.
         first + "variable 2 (\"Position\"): \"DataSize\" 8 is smaller than the 12 bytes of \"Vector<3,Float4>\".\n"},
        {"parcel index stride shorter than its type",
         [] {
             return withChunk([](TestChunk& c) {
                 descriptorOf(c, 0).set("DataSize", 2);
                 c.data[0].resize(4);
             });
         },
         first + "variable 1 (\"Parcel Index\"): \"DataSize\" 2 is smaller than the 4 bytes of \"Unsigned4\".\n"},
        {"written variable stride shorter than its type",
         [] {
             return withChunk([](TestChunk& c) {
                 descriptorOf(c, 3).set("DataSize", 4);
                 c.data[3].resize(8);
             });
         },
         first + "variable 4 (\"Temperature\"): \"DataSize\" 4 is smaller than the 8 bytes of \"Float8\".\n"},
        {"truncated data",
         [] {
             const std::string track = trackText(referenceChunks("B"));
             return track.substr(0, track.size() - 3);
         },
         "Error:  track chunk (record 2, byte " + secondOffset +
             ", Id 2): variable 4 (\"Temperature\"): the file ends inside its data (8 bytes declared, 5 present).\n"},
        {"data missing after the block",
         [] {
             std::ostringstream out;
             TrackWriter(out).writeBlock(referenceChunks("B")[0].block);
             return out.str();
         },
         first + "variable 1 (\"Parcel Index\"): the file ends inside its data (8 bytes declared, 0 present).\n"},
        {"unknown data type",
         [] { return withChunk([](TestChunk& c) { descriptorOf(c, 2).set("DataType", std::string("Float5")); }); },
         diameterLabel + "\"DataType\" \"Float5\" is not a known data type.\n"},
        {"scalar with a vector type",
         [] {
             return withChunk([](TestChunk& c) {
                 descriptorOf(c, 3).set("DataType", std::string("Vector<3,Float4>"));
                 descriptorOf(c, 3).set("DataSize", 12);
                 c.data[3].resize(24);
             });
         },
         first + "variable 4 (\"Temperature\"): \"DataType\" \"Vector<3,Float4>\" does not fit a scalar variable (type 0).\n"},
        {"vector with a scalar type",
         [] { return withChunk([](TestChunk& c) { descriptorOf(c, 2).set("Type", 2); }); },
         diameterLabel + "\"DataType\" \"Float4\" does not fit a vector variable (type 2).\n"},
        {"position with a scalar type",
         [] { return withChunk([](TestChunk& c) { descriptorOf(c, 1).set("DataType", std::string("Float8")); }); },
         first + "variable 2 (\"Position\"): \"DataType\" \"Float8\" does not fit the position variable.\n"},
        {"two output variables of one name",
         [] { return withChunk([](TestChunk& c) { descriptorOf(c, 3).set("Name", std::string("Diameter")); }); },
         first + "variable 4 (\"Diameter\"): the output variable name \"Diameter\" is declared twice.\n"},
        {"vector names repeating a scalar's",
         [] {
             return withChunk([](TestChunk& c) {
                 descriptorOf(c, 2).set("Name", std::string("Velocity-v"));
                 descriptorOf(c, 3).set("Name", std::string("Velocity"));
                 descriptorOf(c, 3).set("Type", 2);
                 descriptorOf(c, 3).set("DataType", std::string("Vector<3,Float4>"));
                 descriptorOf(c, 3).set("DataSize", 12);
                 c.data[3].resize(24);
             });
         },
         first + "variable 4 (\"Velocity\"): the output variable name \"Velocity-v\" is declared twice.\n"},
        {"two parcel-index variables",
         [] { return withChunk([](TestChunk& c) { descriptorOf(c, 2).set("Tag", std::string("ParcelId")); }); },
         diameterLabel + "a second parcel-index variable is declared.\n"},
    };
}

std::string replaceInput(std::string text, const std::string& in) {
    const std::string::size_type at = text.find("IN");
    if (at != std::string::npos && text.compare(0, 8, "Error:  ") == 0 && at == 8) text.replace(at, 2, in);
    return text;
}

TEST_F(Translation, FailuresReportAndLeaveNoOutput) {
    for (const FailureCase& c : failureCases()) {
        SCOPED_TRACE(c.label);
        const std::string in = input(c.track());
        const std::string expected = replaceInput(c.err, in);

        ProgramResult toStdout = run({in});
        EXPECT_EQ(toStdout.status, 1);
        EXPECT_EQ(toStdout.err, expected);
        EXPECT_EQ(toStdout.out, "");

        ProgramResult toNewFile = run({in, dir + "new.zrp"});
        EXPECT_EQ(toNewFile.status, 1);
        EXPECT_EQ(toNewFile.err, expected);
        EXPECT_EQ(toNewFile.out, "");

        spit(dir + "old.zrp", "old text\n");
        ProgramResult toOldFile = run({in, dir + "old.zrp"});
        EXPECT_EQ(toOldFile.status, 1);
        EXPECT_EQ(slurp(dir + "old.zrp"), "old text\n");
        EXPECT_EQ(filesIn(dir), (std::set<std::string>{"in.trk", "old.zrp"}));
    }
}

// Stored files may carry bytes after their last record: the chunks before
// them are translated, with one warning.
TEST_F(Translation, UnreadableTrailingBlockWarnsAndSucceeds) {
    const std::string track = trackText(referenceChunks("B"));
    ProgramResult result = run({input(track + "\n#garbage")});
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.out, referenceZrp);
    EXPECT_EQ(result.err, "Warning:  reading stopped at byte " + std::to_string(track.size()) +
                              ": PropertyParser scan failed: Error parsing Property: lexical error. found: '#'; "
                              "later records were not translated.\n");
}

TEST_F(Translation, WriteFailuresAreReported) {
    const std::string in = input(trackText(referenceChunks("B")));
    ProgramResult toFullDevice = run({in, "/dev/full"});
    EXPECT_EQ(toFullDevice.status, 1);
    EXPECT_EQ(toFullDevice.err, "Error:  could not write output file\n");
    EXPECT_EQ(toFullDevice.out, "");

    ProgramResult fullStdout = run({in}, "/dev/full");
    EXPECT_EQ(fullStdout.status, 1);
    EXPECT_EQ(fullStdout.err, "Error:  could not write standard output\n");

    for (const std::string& target : {dir + "missing/out.zrp", dir, std::string()}) {
        SCOPED_TRACE(target);
        ProgramResult unopenable = run({in, target});
        EXPECT_EQ(unopenable.status, 1);
        EXPECT_EQ(unopenable.err, "Error: could not open output file\nUsage: trk_to_zrp inputfile [outputfile]\n");
        EXPECT_EQ(unopenable.out, "");
    }
    EXPECT_EQ(filesIn(dir), (std::set<std::string>{"in.trk"}));
}

TEST_F(Translation, ReplacedOutputKeepsItsPermissionsAndLinks) {
    const std::string in = input(trackText(referenceChunks("B")));
    spit(dir + "kept.zrp", "old");
    ASSERT_EQ(chmod((dir + "kept.zrp").c_str(), 0640), 0);
    ASSERT_EQ(symlink("kept.zrp", (dir + "link.zrp").c_str()), 0);

    ProgramResult result = run({in, dir + "link.zrp"});
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(slurp(dir + "kept.zrp"), referenceZrp);
    struct stat linkStatus, fileStatus;
    ASSERT_EQ(lstat((dir + "link.zrp").c_str(), &linkStatus), 0);
    EXPECT_TRUE(S_ISLNK(linkStatus.st_mode));
    ASSERT_EQ(stat((dir + "kept.zrp").c_str(), &fileStatus), 0);
    EXPECT_EQ(fileStatus.st_mode & 07777, 0640u);

    const mode_t mask = umask(022);
    ProgramResult fresh = run({in, dir + "fresh.zrp"});
    umask(mask);
    EXPECT_EQ(fresh.status, 0);
    ASSERT_EQ(stat((dir + "fresh.zrp").c_str(), &fileStatus), 0);
    EXPECT_EQ(fileStatus.st_mode & 07777, 0644u);
}

// Runs the translator with its address space limited to `kilobytes`.
ProgramResult runLimited(const std::vector<std::string>& args, int kilobytes) {
    std::vector<std::string> shellArgs{"-c", "ulimit -v " + std::to_string(kilobytes) + " && exec \"$@\"", "sh",
                                       TRK_TO_ZRP_PATH};
    shellArgs.insert(shellArgs.end(), args.begin(), args.end());
    return runProgram("/bin/sh", shellArgs);
}

#if defined(__SANITIZE_ADDRESS__)
constexpr bool sanitized = true;  // the sanitizer's shadow memory needs far more address space
#else
constexpr bool sanitized = false;
#endif

// Paths are held by the parcel indexes that occur, so the largest index
// costs no more memory than the smallest.
TEST_F(Translation, LargeParcelIndexesFitInLittleMemory) {
    if (sanitized) GTEST_SKIP() << "address space limits do not work under the sanitizer";
    ProgramResult result = runLimited(
        {input(trackText({standardChunk(1, "A", {{4294967295u, 1, 0, 0, 1, 1}, {0, 2, 0, 0, 1, 1}})}))}, 100000);
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(result.out, "ZRPARTICLES 2 1\nTag Names\n0\nVariable Names\n2\nDiameter\nTemperature\n"
                          "1\n2 0 0 1 1 \n1\n1 0 0 1 1 \n");
}

TEST_F(Translation, OutOfMemoryIsReported) {
    if (sanitized) GTEST_SKIP() << "address space limits do not work under the sanitizer";
    // 30 million points whose data is present as a hole in a sparse file:
    // the 360 MB position buffer cannot be had within 300 MB.
    const int points = 30000000;
    std::ostringstream header;
    TrackWriter(header).beginChunk(steadyChunkBlock(
        1, "A", points,
        {variableDescriptor("Parcel Index", 0, "Unsigned4", 4, "ParcelId"),
         variableDescriptor("Position", 3, "Vector<3,Float4>", 12)}));
    const std::string in = input(header.str());
    ASSERT_EQ(truncate(in.c_str(), static_cast<off_t>(header.str().size()) + 16LL * points), 0);

    ProgramResult result = runLimited({in, dir + "out.zrp"}, 300000);
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.err, "Error:  out of memory\n");
    EXPECT_EQ(result.out, "");
    EXPECT_EQ(filesIn(dir), (std::set<std::string>{"in.trk"}));
}

}  // namespace
