// The progress line of trk_to_zrp: its throttle and text with a fake clock,
// and end to end on a slow input with standard error on a file.

#include <gtest/gtest.h>

#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <sstream>
#include <string>
#include <vector>

#include "Progress.h"
#include "RunProgram.h"
#include "TrackTestData.h"

namespace {

using std::chrono::milliseconds;

TEST(ProgressLineTest, WaitsBeforeTheFirstLineThenWritesAtMostFourTimesASecond) {
    std::chrono::steady_clock::time_point now{};
    std::ostringstream out;
    const std::string first = "\rReading: 1.0 MB of 4.0 MB (25%), 10 points, 0.5 s";
    {
        ProgressLine progress(out, true, [&now] { return now; });
        progress.update(1000000, 4000000, 10);
        now += milliseconds(499);
        progress.update(1000000, 4000000, 10);
        EXPECT_EQ(out.str(), "") << "a quick run shows nothing";

        now += milliseconds(1);
        progress.update(1000000, 4000000, 10);
        EXPECT_EQ(out.str(), first);

        now += milliseconds(249);
        progress.update(2000000, 4000000, 20);
        EXPECT_EQ(out.str(), first);

        // A shorter line blanks out the end of the longer one before it.
        now += milliseconds(1);
        progress.update(0, -1, 7);
        const std::string second = "\rReading: 0.0 MB, 7 points, 0.8 s";
        EXPECT_EQ(out.str(), first + second + std::string(first.size() - second.size(), ' '));
        out.str("");
    }
    EXPECT_EQ(out.str(), "\r" + std::string(first.size() - 1, ' ') + "\r")
        << "the line is erased when the reading ends";
}

// The percentage is rounded down: 100% only when all is read.
TEST(ProgressLineTest, Text) {
    EXPECT_EQ(progressText(2999999, 3000000, 0, milliseconds(61000)),
              "Reading: 3.0 MB of 3.0 MB (99%), 0 points, 61.0 s");
    // While writing, the points written of all there are.
    EXPECT_EQ(writingText(1000, 4000, milliseconds(1500)), "Writing: 1000 of 4000 points (25%), 1.5 s");
}

// Four one-point chunks fed through a pipe, with a pause halfway that
// outlasts the delay before the first progress line: standard error, a file
// here, gets the program's own messages and nothing else.
TEST(Progress, StandardErrorThatIsNoTerminalGetsNoProgressLine) {
    const std::string input = ::testing::TempDir() + "progress_test_" + std::to_string(getpid()) + ".trk";
    const std::string output = input + ".zrp";
    std::vector<TestChunk> chunks;
    for (std::uint32_t id = 1; id <= 4; ++id)
        chunks.push_back(standardChunk(static_cast<int>(id), "A", {{id, 1, 2, 3, 0.5f, 300}}));
    const std::string track = trackText(chunks);
    writeFile(input, track);
    const std::size_t half = track.size() / 2;
    const std::string feed = "{ head -c " + std::to_string(half) + " " + input + "; sleep 0.9; tail -c +" +
                             std::to_string(half + 1) + " " + input + "; }";
    const ProgramResult result =
        runProgram("/bin/sh", {"-c", feed + " | " + TRK_TO_ZRP_PATH + " /dev/stdin " + output});
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.err, "");
    EXPECT_EQ(result.out, output + " written.\n");
    std::remove(input.c_str());
    std::remove(output.c_str());
}

}  // namespace
