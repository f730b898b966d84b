#include <gtest/gtest.h>

#include <ios>
#include <sstream>
#include <string>

#include <properties/Properties.h>

// Trees are compared as property text: it tells every type apart (1, 1L,
// 1.0000000000000000000, '1', true).
namespace {

std::string parse(const std::string& text) {
    return Properties(text).toString();
}

// What a scan failure with this message reports through what().
std::string scanFailure(const std::string& message) {
    return std::ios_base::failure("PropertyParser scan failed: " + message).what();
}

std::string failureOf(const std::string& text) {
    try {
        parse(text);
    } catch (const std::ios_base::failure& failure) {
        return failure.what();
    }
    return "no failure";
}

TEST(PropertyParser, ReadsBlocksOfBothNotations) {
    const struct {
        std::string text, tree;
    } cases[] = {
        // Members are kept in byte order; a later member of the same key wins.
        {"{b = two, a 1 'c': [1L, 2.5], a: 00}", "{'a': false, 'b': 'two', 'c': [1L, 2.5000000000000000000]}"},
        // The notations mix freely.
        {"<struct><member><name>flag</name><value><boolean>0</boolean></value></member>"
         " 'list' <value><array><data><value><i4>1</i4></value> 2L <value>a&lt;b</value></data></array></value>"
         " sub <value><struct> r <value><double>0.5</double></value></struct></value>"
         " <name>word</name> \"two\" </struct>",
         "{'flag': false, 'list': [1, 2L, 'a<b'], 'sub': {'r': 0.50000000000000000000}, 'word': 'two'}"},
        {" \t\r\n ", "{}"},
        // The translator writes its output to standard output; the line
        // feeds the lexer echoes from inside an XML int must not go there.
        {"{'a' <value><int>\n7</int></value>}", "{'a': 7}"},
    };
    testing::internal::CaptureStdout();
    for (const auto& c : cases) {
        EXPECT_EQ(parse(c.text), c.tree) << "text: " << c.text;
    }
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
}

TEST(PropertyParser, FailuresReportTheirCause) {
    const struct {
        std::string text, message;
    } cases[] = {
        {"[1, 2]", "syntax error"},
        {"#", "Error parsing Property: lexical error. found: '#'"},
        // Inside a block the parse error that follows the lexical one wins.
        {"{'a': #}", "syntax error"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(failureOf(c.text), scanFailure(c.message)) << "text: " << c.text;
    }
}

TEST(PropertyParser, NestingIsBoundedByTheParseStack) {
    auto inArrays = [](int depth) { return "{'a': " + std::string(depth, '[') + "1" + std::string(depth, ']') + "}"; };
    EXPECT_EQ(failureOf(inArrays(4997)), "no failure");
    EXPECT_EQ(failureOf(inArrays(4998)), scanFailure("parser stack overflow"));
    // A map costs one more stack entry a level than an array: its pending key.
    auto inMaps = [](int depth) {
        std::string text;
        for (int i = 0; i <= depth; ++i) text += "{'a': ";
        return text + "1" + std::string(depth + 1, '}');
    };
    EXPECT_EQ(failureOf(inMaps(3331)), "no failure");
    EXPECT_EQ(failureOf(inMaps(3332)), scanFailure("parser stack overflow"));
}

// Raw data may follow a block: the reader must stop at its closing brace,
// also after tokens long enough to be collected piece by piece.
TEST(PropertyExtraction, StopsRightBehindEachBlockAndReplacesTheCollection) {
    const std::string word(1000, 'k');
    std::istringstream in("{'a': " + std::string(1000, '0') + "1, 'w': " + word + " 'v' <value>" +
                          std::string(1000, ' ') + "<int>2</int></value>}XYZ {}");
    Properties properties("{'mark': 1}");
    ASSERT_TRUE(in >> properties);
    EXPECT_EQ(properties.toString(), "{'a': 1, 'v': 2, 'w': '" + word + "'}");
    std::string rest;
    in >> rest;
    EXPECT_EQ(rest, "XYZ");
    ASSERT_TRUE(in >> properties);
    EXPECT_EQ(properties.toString(), "{}");
    EXPECT_EQ(in.peek(), EOF);
}

TEST(PropertyExtraction, FailureSetsFailbitAndKeepsTheCollection) {
    for (const char* text : {"", "   ", "#", "{'a': {'b': [1, 2"}) {
        std::istringstream in(text);
        Properties properties("{'mark': 1}");  // shows whether a failed read left it alone
        EXPECT_NO_THROW(in >> properties);
        EXPECT_TRUE(in.fail()) << "text: " << text;
        EXPECT_EQ(properties.toString(), "{'mark': 1}") << "text: " << text;
    }
}

TEST(PropertyExtraction, ExceptionMaskPassesTheParseErrorOn) {
    std::istringstream in("{'a': ,}");
    in.exceptions(std::ios_base::failbit);
    Properties properties("{'mark': 1}");
    try {
        in >> properties;
        ADD_FAILURE() << "no exception";
    } catch (const std::ios_base::failure& failure) {
        EXPECT_EQ(std::string(failure.what()), scanFailure("syntax error"));
    }
}

}  // namespace
