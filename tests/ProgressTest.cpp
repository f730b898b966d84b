// The progress line of trk_to_zrp: its throttle and text with a fake clock,
// and end to end on a slow input, once with standard error on a file and
// once on a terminal.

#include <gtest/gtest.h>

#include <fcntl.h>
#include <pty.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "Progress.h"
#include "RunProgram.h"
#include "TrackTestData.h"

namespace {

using std::chrono::milliseconds;
using TimePoint = std::chrono::steady_clock::time_point;

struct FakeClock {
    TimePoint now{};
    ProgressLine::Clock function() {
        return [this] { return now; };
    }
};

TEST(ProgressLineTest, WaitsBeforeTheFirstLineThenWritesAtMostFourTimesASecond) {
    FakeClock clock;
    std::ostringstream out;
    {
        ProgressLine progress(out, true, clock.function());
        progress.update(1000000, 4000000, 10);
        clock.now += milliseconds(499);
        progress.update(1000000, 4000000, 10);
        EXPECT_EQ(out.str(), "") << "a quick run shows nothing";

        clock.now += milliseconds(1);
        progress.update(1000000, 4000000, 10);
        const std::string first = "\rReading: 1.0 MB of 4.0 MB (25%), 10 points, 0.5 s";
        EXPECT_EQ(out.str(), first);

        clock.now += milliseconds(249);
        progress.update(2000000, 4000000, 20);
        EXPECT_EQ(out.str(), first);

        // A shorter line blanks out the end of the longer one before it.
        clock.now += milliseconds(1);
        progress.update(0, -1, 7);
        const std::string second = "\rReading: 0.0 MB, 7 points, 0.8 s";
        EXPECT_EQ(out.str(), first + second + std::string(first.size() - second.size(), ' '));
        out.str("");

        progress.clear();
        EXPECT_EQ(out.str(), "\r" + std::string(first.size() - 1, ' ') + "\r");
        out.str("");
        progress.clear();
        EXPECT_EQ(out.str(), "") << "nothing left to erase";

        clock.now += milliseconds(250);
        progress.update(-1, -1, 3);
        EXPECT_EQ(out.str(), "\rReading: 3 points, 1.0 s");
        out.str("");
    }
    EXPECT_EQ(out.str(), "\r" + std::string(24, ' ') + "\r") << "the line is erased when the reading ends";
}

TEST(ProgressLineTest, Text) {
    struct Case {
        std::int64_t bytes, total;
        std::uint64_t points;
        milliseconds elapsed;
        const char* text;
    };
    const Case cases[] = {
        {1500000, 3000000, 42, milliseconds(2500), "Reading: 1.5 MB of 3.0 MB (50%), 42 points, 2.5 s"},
        {2999999, 3000000, 0, milliseconds(61000), "Reading: 3.0 MB of 3.0 MB (99%), 0 points, 61.0 s"},
        {12345678901, -1, 123456789, milliseconds(50), "Reading: 12345.7 MB, 123456789 points, 0.1 s"},
        {-1, 3000000, 5, milliseconds(0), "Reading: 5 points, 0.0 s"},
    };
    for (const Case& c : cases) EXPECT_EQ(progressText(c.bytes, c.total, c.points, c.elapsed), c.text);
}

// A track file fed through a named pipe with a pause in the middle, so that
// the reading lasts longer than the delay before the first progress line.
class SlowInput : public ::testing::Test {
protected:
    void SetUp() override {
        char name[] = "/tmp/progress_test-XXXXXX";
        ASSERT_NE(mkdtemp(name), nullptr);
        dir = name;
        fifo = dir + "/input.trk";
        output = dir + "/output.zrp";
        ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
        std::vector<TestChunk> chunks;
        for (int id = 1; id <= 4; ++id)
            chunks.push_back(standardChunk(id, "A", {{std::uint32_t(id), 1, 2, 3, 0.5f, 300}}));
        track = trackText(chunks);
        feeder = std::thread([this] {
            const int fd = open(fifo.c_str(), O_WRONLY | O_CLOEXEC);
            opened = true;
            if (fd < 0) return;
            const std::size_t half = track.size() / 2;
            writeAll(fd, track.data(), half);
            std::this_thread::sleep_for(ProgressLine::firstDelay + milliseconds(400));
            writeAll(fd, track.data() + half, track.size() - half);
            close(fd);
        });
    }
    void TearDown() override {
        // A test that ended before the program opened the pipe leaves the
        // feeder waiting for a reader: be that reader.
        if (!opened) {
            const int fd = open(fifo.c_str(), O_RDONLY | O_CLOEXEC);
            char sink[4096];
            while (fd >= 0 && read(fd, sink, sizeof sink) > 0) {
            }
            if (fd >= 0) close(fd);
        }
        if (feeder.joinable()) feeder.join();
        std::remove(fifo.c_str());
        std::remove(output.c_str());
        rmdir(dir.c_str());
    }
    static void writeAll(int fd, const char* bytes, std::size_t length) {
        while (length > 0) {
            const ssize_t written = ::write(fd, bytes, length);
            if (written <= 0) return;
            bytes += written;
            length -= static_cast<std::size_t>(written);
        }
    }
    std::string expectedZrp() const {
        std::string zrp = "ZRPARTICLES 2 1\nTag Names\n0\nVariable Names\n2\nDiameter\nTemperature\n";
        for (int id = 1; id <= 4; ++id) zrp += "1\n1 2 3 0.5 300 \n";
        return zrp;
    }

    std::string dir, fifo, output, track;
    std::thread feeder;
    std::atomic<bool> opened{false};
};

TEST_F(SlowInput, StandardErrorThatIsNoTerminalGetsOnlyTheProgramsOwnMessages) {
    const ProgramResult result = runProgram(TRK_TO_ZRP_PATH, {fifo, output});
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.err, "");
    EXPECT_EQ(result.out, output + " written.\n");
    std::ifstream in(output);
    std::ostringstream zrp;
    zrp << in.rdbuf();
    EXPECT_EQ(zrp.str(), expectedZrp());
}

TEST_F(SlowInput, ATerminalSeesTheLineWhileReadingAndNothingOfItAfterwards) {
    int master = -1;
    const pid_t pid = forkpty(&master, nullptr, nullptr, nullptr);
    if (pid < 0) GTEST_SKIP() << "no pseudo-terminal here";
    if (pid == 0) {
        // Only standard error stays on the terminal.
        const int null = open("/dev/null", O_WRONLY);
        dup2(null, STDOUT_FILENO);
        execl(TRK_TO_ZRP_PATH, TRK_TO_ZRP_PATH, fifo.c_str(), output.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    std::string seen;
    char buffer[256];
    for (ssize_t n; (n = read(master, buffer, sizeof buffer)) > 0;) seen.append(buffer, static_cast<std::size_t>(n));
    close(master);
    int status = 0;
    waitpid(pid, &status, 0);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);

    // A pipe has no size and no position: the line counts points.
    ASSERT_EQ(seen.rfind("\rReading: ", 0), 0u) << seen;
    EXPECT_NE(seen.find(" points, "), std::string::npos) << seen;
    const std::size_t erase = seen.rfind('\r', seen.size() - 2);
    ASSERT_NE(erase, std::string::npos);
    EXPECT_EQ(seen.back(), '\r');
    EXPECT_EQ(seen.substr(erase + 1, seen.size() - erase - 2).find_first_not_of(' '), std::string::npos)
        << "the last thing written erases the line: " << seen;
    std::ifstream in(output);
    std::ostringstream zrp;
    zrp << in.rdbuf();
    EXPECT_EQ(zrp.str(), expectedZrp());
}

}  // namespace
