// Runs of props: conversion between property text and XML, block by block.

#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <string>
#include <vector>

#include "CommandLineCases.h"
#include "ProjectVersion.h"
#include "RunProgram.h"

namespace {

class PropsTool : public ::testing::Test {
protected:
    void TearDown() override { std::remove(path.c_str()); }
    ProgramResult props(const std::string& input, std::vector<std::string> options = {}) {
        writeFile(path, input);
        options.push_back(path);
        return runProgram(PROPS_PATH, options);
    }

    const std::string path = ::testing::TempDir() + "props_test_" + std::to_string(getpid());
};

// Blocks apart, blank and empty ones included, one a line; doubles of at
// most 10 significant digits, which survive the trip through XML exactly.
TEST_F(PropsTool, TextToXmlToTextGivesTheSameBlocks) {
    const ProgramResult text = props(
        "{'Size': 12L, 'Name': 'a\\'b\\nc', 'Scale': -2.5}\n  {}\n\r\n"
        "{'nested': {'list': [[], [1, 2L], false]}}{'last': 0.1}");
    ASSERT_EQ(text.status, 0) << text.err;
    EXPECT_EQ(text.err, "");
    EXPECT_EQ(text.out,
              "{'Name': 'a\\'b\\nc', 'Scale': -2.5000000000000000000, 'Size': 12L}\n{}\n"
              "{'nested': {'list': [[], [1, 2L], false]}}\n{'last': 0.10000000000000000555}\n");

    const ProgramResult xml = props(text.out, {"--xml"});
    ASSERT_EQ(xml.status, 0) << xml.err;
    // XML has no escape for a line feed: the first block spans two lines.
    EXPECT_NE(xml.out.find("<string>a'b\nc</string>"), std::string::npos) << xml.out;
    EXPECT_NE(xml.out.find("</struct>\n<struct></struct>\n<struct>"), std::string::npos) << "the empty block's place";

    const ProgramResult back = props(xml.out, {"--text"});
    ASSERT_EQ(back.status, 0) << back.err;
    EXPECT_EQ(back.out, text.out);
}

// The blocks before the faulty one are written; the offset is that of the
// block's first character, and a byte the parser quotes is escaped.
TEST_F(PropsTool, AParseErrorNamesTheBlockAndItsFirstByte) {
    const struct {
        std::string input, out, err;
    } cases[] = {
        {"{}{}\n\t  {'x': [1}", "{}\n{}\n", "block 3 at byte 8: PropertyParser scan failed: syntax error"},
        {"{'a': 1}\n{'open': [1, 2", "{'a': 1}\n", "block 2 at byte 9: PropertyParser scan failed: syntax error"},
        {"{'a': 1}\n\x1b[2J", "{'a': 1}\n",
         "block 2 at byte 9: PropertyParser scan failed: Error parsing Property: lexical error. found: '\\x1b'"},
    };
    for (const auto& c : cases) {
        const ProgramResult result = props(c.input);
        EXPECT_EQ(result.status, 1) << c.input;
        EXPECT_EQ(result.out, c.out) << c.input;
        EXPECT_EQ(result.err, "props: " + c.err + "\n") << c.input;
    }
}

// Help and version on standard output, standard input as "-", a name that
// begins with "-" after "--"; command-line errors and input that cannot be
// read on standard error, status 1, never 0.
TEST_F(PropsTool, CommandLine) {
    writeFile(path, "{'b': 1, 'a': 2L}");
    const std::string dashed = "-props-test-" + std::to_string(getpid()) + ".txt";
    writeFile(dashed, "{'b': 1, 'a': 2L}");
    const std::string usage = "Usage: props [options] [FILE]\n";
    expectCommandLines(
        PROPS_PATH,
        {
            {{"--help"}, "/dev/null", 0, usage, ""},
            {{"--version"}, "/dev/null", 0, "props " TRK_TO_ZRP_VERSION "\n", ""},
            {{"-", "--text"}, path, 0, "{'a': 2L, 'b': 1}\n", ""},
            {{"--", dashed}, "/dev/null", 0, "{'a': 2L, 'b': 1}\n", ""},
            {{"--json"}, "/dev/null", 1, "", "props: unknown option --json"},
            {{path, path}, "/dev/null", 1, "", "props: more than one FILE"},
            {{"/nonexistent/blocks.txt"},
             "/dev/null",
             1,
             "",
             "props: could not open /nonexistent/blocks.txt: No such file or directory"},
            {{"/"}, "/dev/null", 1, "", "props: could not open /: Is a directory"},
            {{"-"}, "/", 1, "", "props: could not open standard input: Is a directory"},
            // Opens, then fails at the first read.
            {{"/proc/self/mem"}, "/dev/null", 1, "", "props: could not read /proc/self/mem: Input/output error"},
        });
    std::remove(dashed.c_str());
}

}  // namespace
