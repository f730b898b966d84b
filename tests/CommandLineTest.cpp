#include <gtest/gtest.h>

#include <signal.h>
#include <sys/stat.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "RunProgram.h"

namespace {

struct UsageCase {
    const char* label;
    std::vector<std::string> args;
    const char* message;
};

// Command-line errors: two lines on stderr naming the invocation exactly as
// given, status 1, and nothing on stdout.
TEST(CommandLine, ErrorsPrintMessageAndUsageLine) {
    const UsageCase cases[] = {
        {"no argument", {}, "incorrect number of arguments"},
        {"three arguments", {"a", "b", "c"}, "incorrect number of arguments"},
        {"missing input", {"/nonexistent/input.trk"}, "could not open input file"},
        {"missing input with output",
         {"/nonexistent/input.trk", "/tmp/never-written.zrp"},
         "could not open input file"},
    };
    for (const UsageCase& c : cases) {
        SCOPED_TRACE(c.label);
        ProgramResult result = runProgram(TRK_TO_ZRP_PATH, c.args, "./some/where/trk_to_zrp");
        EXPECT_EQ(result.status, 1);
        EXPECT_EQ(result.out, "");
        EXPECT_EQ(result.err,
                  std::string("Error: ") + c.message + "\nUsage: ./some/where/trk_to_zrp inputfile [outputfile]\n");
    }
}

// Whether the hidden temporary output beside `target` in `dir` holds any
// bytes yet: the input has then been read and the output is being written.
bool temporaryIsWritten(const std::string& dir, const std::string& target) {
    for (const std::string& name : filesIn(dir)) {
        struct stat status;
        if (name.rfind("." + target + ".", 0) == 0 && stat((dir + name).c_str(), &status) == 0 && status.st_size > 0)
            return true;
    }
    return false;
}

// A run ended by a signal while it writes its output ends by that signal and
// leaves neither its temporary file nor a changed target.
TEST(CommandLine, ASignalWhileWritingLeavesNothingBehind) {
    const std::string dir = makeTempDir("interrupted");
    // 1,000,000 points: about 75 MB of output, written for long enough to be caught at it.
    ASSERT_EQ(runProgram(TRK_MAKE_PATH, {"--chunks", "20", "--points", "50000", dir + "in.trk"}).status, 0);
    for (const int signalNumber : {SIGINT, SIGTERM, SIGHUP}) {
        SCOPED_TRACE(signalNumber);
        writeFile(dir + "out.zrp", "old\n");
        const pid_t run = startProgram(TRK_TO_ZRP_PATH, {dir + "in.trk", dir + "out.zrp"});
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(120);
        while (!temporaryIsWritten(dir, "out.zrp") && programRunning(run) &&
               std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        kill(run, signalNumber);
        EXPECT_EQ(waitProgram(run), 128 + signalNumber);
        EXPECT_EQ(filesIn(dir), (std::set<std::string>{"in.trk", "out.zrp"}));
        EXPECT_EQ(readFile(dir + "out.zrp"), "old\n");
    }
    removeDir(dir);
}

}  // namespace
