// Damaged and hostile track files, made from small valid files: whatever the
// bytes, a run ends with status 0 and a complete ZRP file, or with status 1,
// an error message and no output file at all.

#include <gtest/gtest.h>

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <functional>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "RunProgram.h"
#include "TrackTestData.h"
#include "Translation.h"

namespace {

const BlockNotation notations[] = {BlockNotation::Text, BlockNotation::Xml};

std::string nameOf(BlockNotation notation) { return notation == BlockNotation::Text ? "text" : "XML"; }

std::string slurp(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

std::vector<std::string> filesIn(const std::string& directory) {
    std::vector<std::string> names;
    if (DIR* dir = opendir(directory.c_str())) {
        while (dirent* entry = readdir(dir))
            if (std::string(entry->d_name) != "." && std::string(entry->d_name) != "..") names.push_back(entry->d_name);
        closedir(dir);
    }
    return names;
}

// The property library warns on std::cerr about every missing key; thousands
// of damaged files would bury the test's own report.
class QuietStandardError {
public:
    QuietStandardError() : saved(std::cerr.rdbuf(sink.rdbuf())) {}
    ~QuietStandardError() { std::cerr.rdbuf(saved); }

private:
    std::ostringstream sink;
    std::streambuf* saved;
};

// What one translation left behind.
struct Outcome {
    int status = -1;
    std::string out;        // standard output
    std::string err;        // diagnostics
    std::vector<std::string> files;  // the output directory's entries afterwards
    std::string zrp;        // the output file, when there is one
};

bool hasErrorLine(const std::string& err) {
    return err.compare(0, 8, "Error:  ") == 0 || err.find("\nError:  ") != std::string::npos;
}

class DamagedInput : public ::testing::Test {
protected:
    void SetUp() override {
        std::string pattern = ::testing::TempDir() + "damaged-XXXXXX";
        ASSERT_NE(mkdtemp(&pattern[0]), nullptr);
        dir = pattern + "/";
        outputDir = dir + "out/";
        ASSERT_EQ(mkdir(outputDir.c_str(), 0700), 0);
        outputPath = outputDir + "out.zrp";
    }
    void TearDown() override {
        for (const std::string& name : filesIn(outputDir)) std::remove((outputDir + name).c_str());
        rmdir(outputDir.c_str());
        for (const std::string& name : filesIn(dir)) std::remove((dir + name).c_str());
        rmdir(dir.c_str());
    }

    // Translates the bytes in-process, into out.zrp of an empty directory, or
    // to the standard output stream (much faster for thousands of files).
    Outcome translate(const std::string& bytes, bool toFile = false) {
        std::istringstream input(bytes, std::ios::binary);
        std::ostringstream out, err;
        Outcome run;
        run.status = translateTrack(input, "in.trk", toFile ? outputPath.c_str() : nullptr, out, err).status;
        run.out = out.str();
        run.err = err.str();
        if (!toFile) {
            run.zrp = run.out;
            return run;
        }
        run.files = filesIn(outputDir);
        run.zrp = slurp(outputPath);
        std::remove(outputPath.c_str());
        return run;
    }

    // The promise made for every input; returns false after reporting.
    bool keptPromise(const Outcome& run, const std::string& what, bool toFile = false) {
        if (run.status == 0) {
            EXPECT_EQ(run.zrp.compare(0, 16, "ZRPARTICLES 2 1\n"), 0) << what;
            if (toFile) {
                EXPECT_EQ(run.files, std::vector<std::string>{"out.zrp"}) << what;
                EXPECT_EQ(run.out, outputPath + " written.\n") << what;
            }
        } else {
            EXPECT_EQ(run.status, 1) << what;
            EXPECT_TRUE(hasErrorLine(run.err)) << what << "\n" << run.err;
            EXPECT_EQ(run.err.back(), '\n') << what;
            EXPECT_TRUE(run.files.empty()) << what;
            EXPECT_EQ(run.out, "") << what;
        }
        return !::testing::Test::HasFailure();
    }

    std::string dir;
    std::string outputDir;  // holds nothing but what a translation wrote
    std::string outputPath;
};

// Three records, two tag groups, in either notation, with the offsets where
// each record and each record's block end.
struct TrackFile {
    std::string bytes;
    std::vector<std::size_t> recordEnds;
    std::vector<std::size_t> blockEnds;
};

TrackFile threeChunks(BlockNotation notation) {
    std::vector<TestChunk> chunks = referenceChunks("B");
    chunks.push_back(standardChunk(3, "A", {{0, 5, 6, 7, 1.5f, 280}, {4, -1, -2, -3, 2.5f, 290}}));
    TrackFile file;
    for (const TestChunk& chunk : chunks) {
        std::ostringstream block;
        TrackWriter(block, notation).writeBlock(chunk.block);
        file.blockEnds.push_back(file.bytes.size() + block.str().size());
        file.bytes += trackText({chunk}, notation);
        file.recordEnds.push_back(file.bytes.size());
    }
    return file;
}

TEST_F(DamagedInput, CutAtEveryByteKeepsTheWholeChunksBeforeTheCut) {
    QuietStandardError quiet;
    for (const BlockNotation notation : notations) {
        const TrackFile file = threeChunks(notation);
        // What the complete records before each record translate to.
        std::vector<Outcome> whole{translate("")};
        for (const std::size_t end : file.recordEnds) whole.push_back(translate(file.bytes.substr(0, end)));
        ASSERT_EQ(whole[0].status, 1);
        // Each whole chunk adds its points: two, one and two lines.
        const std::size_t pointLines[] = {2, 1, 2};
        for (std::size_t j = 1; j < whole.size(); ++j) {
            ASSERT_EQ(whole[j].status, 0);
            const auto lines = [&](std::size_t k) { return std::count(whole[k].zrp.begin(), whole[k].zrp.end(), '\n'); };
            if (j > 1) {
                EXPECT_GE(lines(j) - lines(j - 1), static_cast<long>(pointLines[j - 1]));
            }
        }

        std::size_t record = 0;  // the record the cut falls in
        std::size_t recordStart = 0;
        for (std::size_t cut = 0; cut < file.bytes.size(); ++cut) {
            if (cut == file.recordEnds[record]) recordStart = file.recordEnds[record++];
            const std::string what = nameOf(notation) + " file cut at byte " + std::to_string(cut);
            const Outcome run = translate(file.bytes.substr(0, cut));
            if (!keptPromise(run, what)) return;
            if (cut < file.blockEnds[record]) {
                // An unfinished block ends the reading; the records before it
                // are written in full.
                EXPECT_EQ(run.status, whole[record].status) << what;
                EXPECT_EQ(run.zrp, whole[record].zrp) << what;
                if (cut > recordStart) {
                    EXPECT_NE(run.err.find("Warning:  reading stopped at byte " + std::to_string(recordStart)),
                              std::string::npos)
                        << what << "\n" << run.err;
                }
            } else {
                // A chunk without all its data is refused, not padded.
                EXPECT_EQ(run.status, 1) << what;
                EXPECT_NE(run.err.find("the file ends inside its data"), std::string::npos) << what << "\n" << run.err;
            }
        }
    }
}

TEST_F(DamagedInput, SingleByteFlips) {
    QuietStandardError quiet;
    for (const BlockNotation notation : notations) {
        const std::string bytes = threeChunks(notation).bytes;
        int translated = 0;
        // Low bit, letter case and high bit, in turn along the file.
        const unsigned char masks[] = {0x01, 0x20, 0x80};
        for (std::size_t at = 0; at < bytes.size(); ++at) {
            const unsigned char mask = masks[at % 3];
            std::string damaged = bytes;
            damaged[at] = static_cast<char>(damaged[at] ^ mask);
            const Outcome run = translate(damaged);
            if (!keptPromise(run, nameOf(notation) + " file with byte " + std::to_string(at) + " xor " +
                                      std::to_string(mask)))
                return;
            translated += run.status == 0;
        }
        // Flips in the raw data and in many names still give a ZRP file.
        EXPECT_GT(translated, 0) << nameOf(notation);
    }
}

// Every key of a chunk's block and of its variable descriptors, missing or
// holding each type of value in turn.
TEST_F(DamagedInput, EveryKeyMissingOrOfEveryType) {
    QuietStandardError quiet;
    const std::vector<std::function<void(Properties&, const std::string&)>> damages = {
        [](Properties& p, const std::string& key) { p.remove(key); },
        [](Properties& p, const std::string& key) { p.set(key, true); },
        [](Properties& p, const std::string& key) { p.set(key, -1); },
        [](Properties& p, const std::string& key) { p.set(key, 40000000000LL); },
        [](Properties& p, const std::string& key) { p.set(key, 2.5); },
        [](Properties& p, const std::string& key) { p.set(key, std::string("Float4")); },
        [](Properties& p, const std::string& key) { p.set(key, std::vector<int>{4, 4}); },
        [](Properties& p, const std::string& key) {
            Properties empty;
            p.set(key, empty);
        },
    };
    for (const BlockNotation notation : notations) {
        // Where a damaged key lies: the block itself (-1) or a descriptor.
        for (int variable = -1; variable < 4; ++variable) {
            const std::vector<std::string> keys =
                variable < 0 ? std::vector<std::string>{"ClassName", "Steady", "Id", "Name", "Size", "Variables"}
                             : std::vector<std::string>{"Name", "Type", "DataType", "DataSize", "Tag"};
            for (const std::string& key : keys) {
                for (std::size_t d = 0; d < damages.size(); ++d) {
                    // Each damage lands in the first or the second chunk.
                    for (std::size_t target = 0; target < 2; ++target) {
                        std::vector<TestChunk> chunks = referenceChunks("B");
                        if (variable < 0) {
                            damages[d](chunks[target].block, key);
                        } else {
                            Properties descriptor = descriptorOf(chunks[target], static_cast<std::size_t>(variable));
                            damages[d](descriptor, key);
                        }
                        const std::string what = nameOf(notation) + " chunk " + std::to_string(target + 1) +
                                                 ", variable " + std::to_string(variable) + ", key " + key +
                                                 ", damage " + std::to_string(d);
                        if (!keptPromise(translate(trackText(chunks, notation)), what)) return;
                    }
                }
            }
        }
    }
}

TEST_F(DamagedInput, ByteZeroInANameKeepsTheWholeMessage) {
    std::vector<TestChunk> chunks = referenceChunks("B");
    Properties diameter = descriptorOf(chunks[0], 2);
    diameter.set("Name", std::string("Dia\0meter", 9));
    diameter.remove("DataType");
    const Outcome run = translate(trackText(chunks));
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err,
              "Error:  track chunk (record 1, byte 0, Id 1): variable 3 (\"Dia\\0meter\"): "
              "\"DataType\" is missing or is not a string.\n");
}

// A process run and an in-process run of the same damaged file agree, so
// the cases above stand for the program itself.
TEST_F(DamagedInput, ProgramBehavesAsTheInProcessTranslation) {
    QuietStandardError quiet;
    const TrackFile file = threeChunks(BlockNotation::Text);
    const std::string inputPath = dir + "in.trk";
    for (std::size_t cut = 0; cut < file.bytes.size(); cut += 97) {
        const std::string bytes = file.bytes.substr(0, cut);
        const std::string what = "cut at byte " + std::to_string(cut);
        const Outcome inProcess = translate(bytes, true);
        if (!keptPromise(inProcess, what, true)) return;
        std::ofstream(inputPath, std::ios::binary) << bytes;
        const ProgramResult program = runProgram(TRK_TO_ZRP_PATH, {inputPath, outputPath}, "trk_to_zrp");
        EXPECT_EQ(program.status, inProcess.status) << what;
        EXPECT_EQ(program.out, inProcess.out) << what;
        // The program names its input by the path it was given.
        std::string err = inProcess.err;
        for (std::size_t at = err.find("in.trk"); at != std::string::npos; at = err.find("in.trk", at + inputPath.size()))
            err.replace(at, 6, inputPath);
        EXPECT_EQ(program.err, err) << what;
        EXPECT_EQ(slurp(outputPath), inProcess.zrp) << what;
        std::remove(outputPath.c_str());
    }
}

}  // namespace
