// trk_make: deterministic files that the translator reads back as described.

#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "RunProgram.h"

namespace {

std::string slurp(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

class TrackMake : public ::testing::Test {
protected:
    // Makes a track file with the given options; returns its bytes.
    std::string make(std::vector<std::string> options) {
        const std::string path = ::testing::TempDir() + "trk_make_test_" + std::to_string(getpid()) + ".trk";
        options.push_back(path);
        ProgramResult made = runProgram(TRK_MAKE_PATH, options);
        EXPECT_EQ(made.status, 0) << made.err;
        made.out = slurp(path);
        lastPath = path;
        return made.out;
    }
    std::string translate() {
        ProgramResult result = runProgram(TRK_TO_ZRP_PATH, {lastPath});
        EXPECT_EQ(result.status, 0) << result.err;
        EXPECT_EQ(result.err, "");
        return result.out;
    }
    void TearDown() override {
        if (!lastPath.empty()) std::remove(lastPath.c_str());
    }

    std::string lastPath;
};

TEST_F(TrackMake, SameSeedSameBytes) {
    const std::vector<std::string> options{"--chunks", "3", "--points", "5", "--groups", "A,B", "--seed", "42"};
    const std::string once = make(options);
    EXPECT_EQ(make(options), once);
    std::vector<std::string> otherSeed = options;
    otherSeed.back() = "43";
    const std::string other = make(otherSeed);
    EXPECT_EQ(other.size(), once.size());
    EXPECT_NE(other, once);
}

TEST_F(TrackMake, FileHoldsTheRequestedChunksAndVariables) {
    make({"--chunks", "4", "--points", "3", "--groups", "A,B", "--parcels", "2", "--variables", "velocity"});
    const std::string zrp = translate();
    EXPECT_EQ(zrp.substr(0, zrp.find("Velocity-w\n") + 11),
              "ZRPARTICLES 2 1\nTag Names\n2\nA\nB\nVariable Names\n3\nVelocity-u\nVelocity-v\nVelocity-w\n");
    // 12 points in 4 paths (2 parcels in each of 2 groups); each path record
    // is a count, a group number and the points.
    std::istringstream lines(zrp);
    std::string line;
    int pointLines = 0;
    while (std::getline(lines, line))
        if (std::count(line.begin(), line.end(), ' ') == 6) ++pointLines;
    EXPECT_EQ(pointLines, 12);
    EXPECT_EQ(std::count(zrp.begin(), zrp.end(), '\n'), 10 + 4 * 2 + 12);
}

TEST_F(TrackMake, XmlBlocksTranslateLikeText) {
    const std::vector<std::string> options{"--chunks", "2", "--points", "4", "--seed", "7"};
    make(options);
    const std::string fromText = translate();
    std::vector<std::string> xml = options;
    xml.push_back("--xml");
    EXPECT_NE(make(xml).find("<struct>"), std::string::npos);
    EXPECT_EQ(translate(), fromText);
}

TEST_F(TrackMake, SpreadReachesTheLargestParcelIndex) {
    const std::string track = make({"--chunks", "1", "--points", "2", "--parcels", "2", "--spread", "--variables", "none"});
    // The block holds no line feed: the parcel indexes follow the separator.
    const std::size_t data = track.find('\n') + 1;
    ASSERT_GE(track.size(), data + 8);
    std::uint32_t parcels[2];
    std::memcpy(parcels, track.data() + data, sizeof parcels);
    EXPECT_EQ(parcels[0], 0u);
    EXPECT_EQ(parcels[1], 4294967295u);
    // Without other variables a point line is the position alone.
    const std::string zrp = translate();
    EXPECT_EQ(zrp.substr(0, 47), "ZRPARTICLES 2 1\nTag Names\n0\nVariable Names\n0\n1\n");
    EXPECT_EQ(std::count(zrp.begin(), zrp.end(), '\n'), 5 + 2 * 2);
    EXPECT_EQ(std::count(zrp.begin(), zrp.end(), ' '), 4 + 2 * 3);  // 4 in the header lines
    ProgramResult wrong = runProgram(TRK_MAKE_PATH, {"--points", "x", lastPath});
    EXPECT_EQ(wrong.status, 1);
    EXPECT_NE(wrong.err.find("--points needs a whole number"), std::string::npos);
}

}  // namespace
