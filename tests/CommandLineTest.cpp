#include <gtest/gtest.h>

#include <string>
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

}  // namespace
