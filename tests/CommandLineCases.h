#ifndef TESTS_COMMANDLINECASES_H
#define TESTS_COMMANDLINECASES_H

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "RunProgram.h"

// One run of a program in a table of its command lines: what it must end
// with, what its standard output begins with (nothing at all when empty),
// and the first line of its standard error.
struct CommandLineCase {
    std::vector<std::string> args;
    std::string standardInput;
    int status;
    std::string outBegins, firstErrorLine;
};

inline void expectCommandLines(const std::string& program, const std::vector<CommandLineCase>& cases) {
    for (const CommandLineCase& c : cases) {
        SCOPED_TRACE(c.args.empty() ? "" : c.args[0]);
        const ProgramResult result = runProgram(program, c.args, "", "", c.standardInput);
        EXPECT_EQ(result.status, c.status);
        EXPECT_EQ(result.out.substr(0, c.outBegins.size()), c.outBegins);
        if (c.outBegins.empty()) {
            EXPECT_EQ(result.out, "");
        }
        EXPECT_EQ(result.err.substr(0, result.err.find('\n')), c.firstErrorLine);
    }
}

#endif
