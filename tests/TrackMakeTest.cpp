// trk_make: deterministic files that the translator reads back as described.

#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "CommandLineCases.h"
#include "ProjectVersion.h"
#include "RunProgram.h"

namespace {

class TrackMake : public ::testing::Test {
protected:
    void TearDown() override { std::remove(path.c_str()); }
    // Makes the track file with the given options; returns its bytes.
    std::string make(std::vector<std::string> options) {
        options.push_back(path);
        const ProgramResult made = runProgram(TRK_MAKE_PATH, options);
        EXPECT_EQ(made.status, 0) << made.err;
        return readFile(path);
    }
    std::string translate() {
        const ProgramResult result = runProgram(TRK_TO_ZRP_PATH, {path});
        EXPECT_EQ(result.status, 0) << result.err;
        return result.out;
    }

    const std::string path = ::testing::TempDir() + "trk_make_test_" + std::to_string(getpid()) + ".trk";
};

TEST_F(TrackMake, SameSeedSameBytes) {
    std::vector<std::string> options{"--chunks", "3", "--points", "5", "--groups", "A,B", "--seed", "42"};
    const std::string once = make(options);
    EXPECT_EQ(make(options), once);
    options.back() = "43";
    EXPECT_NE(make(options), once);
}

TEST_F(TrackMake, FileHoldsTheRequestedChunksAndVariables) {
    const std::string track = make(
        {"--chunks", "4", "--points", "3", "--groups", "A,B", "--parcels", "2", "--variables", "velocity", "--xml"});
    EXPECT_EQ(track.compare(0, 8, "<struct>"), 0);
    const std::string zrp = translate();
    EXPECT_EQ(zrp.substr(0, zrp.find("Velocity-w\n") + 11),
              "ZRPARTICLES 2 1\nTag Names\n2\nA\nB\nVariable Names\n3\nVelocity-u\nVelocity-v\nVelocity-w\n");
    // 12 points of 6 values in 4 paths (2 parcels in each of 2 groups), each
    // path after a count and a group number; 4 blanks in the header lines.
    EXPECT_EQ(std::count(zrp.begin(), zrp.end(), '\n'), 10 + 4 * 2 + 12);
    EXPECT_EQ(std::count(zrp.begin(), zrp.end(), ' '), 4 + 12 * 6);
}

TEST_F(TrackMake, SpreadReachesTheLargestParcelIndex) {
    const std::string track =
        make({"--chunks", "1", "--points", "2", "--parcels", "2", "--spread", "--variables", "none"});
    // The block holds no line feed: the parcel indexes follow the separator.
    const std::size_t data = track.find('\n') + 1;
    ASSERT_GE(track.size(), data + 8);
    std::uint32_t parcels[2];
    std::memcpy(parcels, track.data() + data, sizeof parcels);
    EXPECT_EQ(parcels[0], 0u);
    EXPECT_EQ(parcels[1], 4294967295u);
}

// Help and version on standard output, a name that begins with "-" after
// "--"; command-line errors on standard error with the usage, status 1.
TEST_F(TrackMake, CommandLine) {
    const std::string dashed = "-trk-make-test-" + std::to_string(getpid()) + ".trk";
    const std::string usage = "Usage: trk_make [options] outputfile\n";
    expectCommandLines(
        TRK_MAKE_PATH,
        {
            {{"--help"}, "/dev/null", 0, usage, ""},
            {{path, "-h"}, "/dev/null", 0, usage, ""},
            {{"--version"}, "/dev/null", 0, "trk_make " TRK_TO_ZRP_VERSION "\n", ""},
            {{"--chunks=1", "--", dashed}, "/dev/null", 0, "", ""},
            {{"--bogus", path}, "/dev/null", 1, "", "trk_make: unknown option --bogus"},
            {{path, "--chunks"}, "/dev/null", 1, "", "trk_make: --chunks needs a value"},
            {{path, "--chunks=0"}, "/dev/null", 1, "", "trk_make: --chunks needs a whole number from 1 to 1073741824"},
            {{}, "/dev/null", 1, "", "trk_make: no output file"},
            {{"/nonexistent/out.trk"},
             "/dev/null",
             1,
             "",
             "trk_make: could not open /nonexistent/out.trk: No such file or directory"},
            {{"/dev/full"}, "/dev/null", 1, "", "trk_make: could not write /dev/full: No space left on device"},
        });
    // Only the run after "--" wrote a file; the others wrote nothing.
    EXPECT_NE(readFile(dashed), "");
    EXPECT_NE(access(path.c_str(), F_OK), 0);
    std::remove(dashed.c_str());
}

}  // namespace
