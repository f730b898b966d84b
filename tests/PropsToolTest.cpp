// Runs of props: conversion between property text and XML, block by block.

#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "RunProgram.h"

namespace {

class PropsTool : public ::testing::Test {
protected:
    void SetUp() override {
        char name[] = "/tmp/props_test-XXXXXX";
        const int fd = mkstemp(name);
        ASSERT_GE(fd, 0);
        close(fd);
        path = name;
    }
    void TearDown() override { std::remove(path.c_str()); }

    void write(const std::string& text) {
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out << text;
    }
    ProgramResult props(std::vector<std::string> options) {
        options.push_back(path);
        return runProgram(PROPS_PATH, options);
    }

    std::string path;
};

// Doubles of at most 10 significant digits: XML keeps 10, so these survive
// the trip through XML exactly.
const std::string blocks =
    "{'Id': 3, 'Name': 'a\\'b\\\\c\\td\\ne', 'Size': 12L, 'Steady': true, 'Variables': "
    "[{'DataType': 'Float4', 'Scale': -2.5, 'Tiny': 1.25e-07}]}\n"
    "  {}\n\r\n"
    "{'markup': '<&> \"quoted\"', 'nested': {'deep': {'list': [[], [1, 2L], false]}}, 'Big': 9223372036854775807L}"
    "{'last': 0.1}";

TEST_F(PropsTool, TextToXmlToTextGivesTheSameBlocks) {
    write(blocks);
    const ProgramResult text = props({});
    ASSERT_EQ(text.status, 0) << text.err;
    EXPECT_EQ(text.err, "");
    EXPECT_EQ(text.out,
              "{'Id': 3, 'Name': 'a\\'b\\\\c\\td\\ne', 'Size': 12L, 'Steady': true, 'Variables': "
              "[{'DataType': 'Float4', 'Scale': -2.5000000000000000000, 'Tiny': 1.2499999999999999434e-07}]}\n"
              "{}\n"
              "{'Big': 9223372036854775807L, 'markup': '<&> \"quoted\"', "
              "'nested': {'deep': {'list': [[], [1, 2L], false]}}}\n"
              "{'last': 0.10000000000000000555}\n");

    write(text.out);
    const ProgramResult xml = props({"--xml"});
    ASSERT_EQ(xml.status, 0) << xml.err;
    // XML has no escape for a line feed: the first block spans two lines.
    EXPECT_NE(xml.out.find("<string>a'b\\c\td\ne</string>"), std::string::npos);
    EXPECT_NE(xml.out.find("</struct>\n<struct></struct>\n<struct>"), std::string::npos) << "the empty block keeps its place";
    EXPECT_NE(xml.out.find("<string>&lt;&amp;> \"quoted\"</string>"), std::string::npos);

    write(xml.out);
    const ProgramResult back = props({"--text"});
    ASSERT_EQ(back.status, 0) << back.err;
    EXPECT_EQ(back.out, text.out);
}

TEST_F(PropsTool, StandardInputIsReadWithoutFileOrWithDash) {
    write("{'a': [true]}");
    const std::string xml = "<struct><member><name>a</name><value><array><data><value><boolean>1</boolean>"
                            "</value></data></array></value></member></struct>\n";
    for (const char* stdinName : {"", "-"}) {
        const ProgramResult piped =
            runProgram("/bin/sh", {"-c", "exec \"$0\" --xml $1 < \"$2\"", PROPS_PATH, stdinName, path});
        EXPECT_EQ(piped.status, 0) << piped.err;
        EXPECT_EQ(piped.out, xml) << "stdin named '" << stdinName << "'";
    }
}

TEST_F(PropsTool, AParseErrorNamesTheBlockAndItsFirstByte) {
    struct Case {
        std::string input;
        std::string out;  // the blocks before the faulty one
        std::string err;
    };
    const std::vector<Case> cases{
        {"{'a': 1}\n{'b': }", "{'a': 1}\n", "props: block 2 at byte 9: PropertyParser scan failed: syntax error\n"},
        {"{}{}\n\t  {'x': [1}", "{}\n{}\n",
         "props: block 3 at byte 8: PropertyParser scan failed: syntax error\n"},
        // The parser's report of the unexpected end replaces the lexer's.
        {" \r\n{'a': #}", "", "props: block 1 at byte 3: PropertyParser scan failed: syntax error\n"},
        {"{'a': 1}\n{'open': [1, 2", "{'a': 1}\n", "props: block 2 at byte 9: PropertyParser scan failed: syntax error\n"},
    };
    for (const Case& c : cases) {
        write(c.input);
        const ProgramResult result = props({});
        EXPECT_EQ(result.status, 1) << c.input;
        EXPECT_EQ(result.out, c.out) << c.input;
        EXPECT_EQ(result.err, c.err) << c.input;
    }
}

TEST_F(PropsTool, CommandLineErrors) {
    struct Case {
        std::vector<std::string> args;
        std::string firstErrorLine;
    };
    const std::vector<Case> cases{
        {{"--json"}, "props: unknown option --json"},
        {{"a", "b"}, "props: more than one FILE"},
        {{"/nonexistent/blocks.txt"}, "props: could not open /nonexistent/blocks.txt"},
    };
    for (const Case& c : cases) {
        const ProgramResult result = runProgram(PROPS_PATH, c.args);
        EXPECT_EQ(result.status, 1);
        EXPECT_EQ(result.out, "");
        EXPECT_EQ(result.err.substr(0, result.err.find('\n')), c.firstErrorLine);
    }
}

}  // namespace
