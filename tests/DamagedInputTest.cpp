// Damaged and hostile track files, made from small valid files: whatever the
// bytes, a run ends with status 0 and a complete ZRP file, or with status 1,
// an error message and no output file at all.

#include <gtest/gtest.h>

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

struct Outcome {
    int status;
    std::string zrp;  // standard output
    std::string err;
};

// Translates in-process to the output stream: fast enough for thousands.
Outcome translate(const std::string& bytes) {
    std::istringstream input(bytes, std::ios::binary);
    std::ostringstream out, err;
    const int status = translateTrack(input, "in.trk", nullptr, out, err).status;
    return {status, out.str(), err.str()};
}

// The promise made for every input; returns false after reporting.
bool keptPromise(const Outcome& run, const std::string& what) {
    if (run.status == 0) {
        EXPECT_EQ(run.zrp.compare(0, 16, "ZRPARTICLES 2 1\n"), 0) << what;
    } else {
        EXPECT_EQ(run.status, 1) << what;
        EXPECT_TRUE(run.err.compare(0, 8, "Error:  ") == 0 || run.err.find("\nError:  ") != std::string::npos)
            << what << "\n"
            << run.err;
        EXPECT_EQ(run.err.back(), '\n') << what;
        EXPECT_EQ(run.zrp, "") << what;
    }
    return !::testing::Test::HasFailure();
}

// Three records, two tag groups, with the offsets where each record and each
// record's block end.
struct TrackFile {
    std::string bytes;
    std::vector<std::size_t> recordEnds, blockEnds;
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

TEST(DamagedInput, CutAtEveryByteKeepsTheWholeChunksBeforeTheCut) {
    QuietStandardError quiet;
    for (const BlockNotation notation : notations) {
        const TrackFile file = threeChunks(notation);
        // What the complete records before each record translate to.
        std::vector<Outcome> whole{translate("")};
        for (const std::size_t end : file.recordEnds) whole.push_back(translate(file.bytes.substr(0, end)));
        std::size_t record = 0;  // the record the cut falls in
        for (std::size_t cut = 0; cut < file.bytes.size(); ++cut) {
            if (cut == file.recordEnds[record]) ++record;
            const std::size_t recordStart = record == 0 ? 0 : file.recordEnds[record - 1];
            const std::string what = "notation " + std::to_string(static_cast<int>(notation)) + ", cut at byte " +
                                     std::to_string(cut) + "\n";
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
                        << what << run.err;
                }
            } else {
                // A chunk without all its data is refused, not padded.
                EXPECT_EQ(run.status, 1) << what;
                EXPECT_NE(run.err.find("the file ends inside its data"), std::string::npos) << what << run.err;
            }
        }
    }
}

TEST(DamagedInput, SingleByteFlips) {
    QuietStandardError quiet;
    for (const BlockNotation notation : notations) {
        const std::string bytes = threeChunks(notation).bytes;
        int translated = 0;
        // Low bit, letter case and high bit, in turn along the file.
        const unsigned char masks[] = {0x01, 0x20, 0x80};
        for (std::size_t at = 0; at < bytes.size(); ++at) {
            std::string damaged = bytes;
            damaged[at] = static_cast<char>(damaged[at] ^ masks[at % 3]);
            const Outcome run = translate(damaged);
            if (!keptPromise(run, "byte " + std::to_string(at) + " flipped")) return;
            translated += run.status == 0;
        }
        // Flips in the raw data and in many names still give a ZRP file.
        EXPECT_GT(translated, 0);
    }
}

// Every key of a chunk's block and of its variable descriptors, in the first
// or the second chunk, missing or holding each type of value in turn.
TEST(DamagedInput, EveryKeyMissingOrOfEveryType) {
    QuietStandardError quiet;
    const std::vector<std::function<void(Properties&, const std::string&)>> damages = {
        [](Properties& p, const std::string& key) { p.remove(key); },
        [](Properties& p, const std::string& key) { p.set(key, true); },
        [](Properties& p, const std::string& key) { p.set(key, -1); },
        [](Properties& p, const std::string& key) { p.set(key, 40000000000LL); },
        [](Properties& p, const std::string& key) { p.set(key, 2.5); },
        [](Properties& p, const std::string& key) { p.set(key, std::string("Float4")); },
        [](Properties& p, const std::string& key) {
            p.set(key, std::vector<int>{4, 4});
        },
        [](Properties& p, const std::string& key) {
            Properties empty;
            p.set(key, empty);
        },
    };
    const std::vector<std::string> blockKeys{"ClassName", "Steady", "Id", "Name", "Size", "Variables"};
    const std::vector<std::string> variableKeys{"Name", "Type", "DataType", "DataSize", "Tag"};
    for (const BlockNotation notation : notations) {
        // Where a damaged key lies: the block itself (-1) or a descriptor.
        for (int variable = -1; variable < 4; ++variable) {
            for (const std::string& key : variable < 0 ? blockKeys : variableKeys) {
                for (std::size_t d = 0; d < damages.size(); ++d) {
                    for (std::size_t target = 0; target < 2; ++target) {
                        std::vector<TestChunk> chunks = referenceChunks("B");
                        Properties keys = variable < 0
                                              ? chunks[target].block
                                              : descriptorOf(chunks[target], static_cast<std::size_t>(variable));
                        damages[d](keys, key);
                        const std::string what = "chunk " + std::to_string(target + 1) + ", variable " +
                                                 std::to_string(variable) + ", key " + key + ", damage " +
                                                 std::to_string(d);
                        if (!keptPromise(translate(trackText(chunks, notation)), what)) return;
                    }
                }
            }
        }
    }
}

// The program itself, on a sample of the cuts: a refused file leaves no
// output file behind, an accepted one is complete.
TEST(DamagedInput, ProgramWritesNoOutputFileOnFailure) {
    const std::string dir = makeTempDir("damaged");
    const std::string bytes = threeChunks(BlockNotation::Text).bytes;
    for (std::size_t cut = 0; cut < bytes.size(); cut += 97) {
        SCOPED_TRACE("cut at byte " + std::to_string(cut));
        writeFile(dir + "in.trk", bytes.substr(0, cut));
        const ProgramResult run = runProgram(TRK_TO_ZRP_PATH, {dir + "in.trk", dir + "out.zrp"}, "trk_to_zrp");
        if (run.status == 0) {
            EXPECT_EQ(run.out, dir + "out.zrp written.\n");
            EXPECT_EQ(readFile(dir + "out.zrp").compare(0, 16, "ZRPARTICLES 2 1\n"), 0);
        } else {
            EXPECT_EQ(run.status, 1);
            EXPECT_NE(run.err.find("Error:  "), std::string::npos) << run.err;
            EXPECT_EQ(filesIn(dir), std::set<std::string>{"in.trk"});
        }
        std::remove((dir + "out.zrp").c_str());
    }
    removeDir(dir);
}

}  // namespace
