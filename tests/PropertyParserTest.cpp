#include <gtest/gtest.h>

#include <ios>
#include <iterator>
#include <sstream>
#include <string>

#include "Properties.h"

// Trees are compared as property text: it tells every type apart (1, 1L,
// 1.0000000000000000000, '1', true).
namespace {

std::string parse(const std::string& text) { return Properties(text).toString(); }

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

// A collection that shows whether a failed read left it alone.
Properties marked() {
    Properties properties;
    properties.set("mark", 1);
    return properties;
}

TEST(PropertyParser, ReadsBlocksOfBothNotations) {
    const struct {
        std::string text, tree;
    } cases[] = {
        {"{'name': 'pump\\'s inlet', count: 3, 'total': 40000000000L, 'ratio': 0.25, "
         "'enabled': true, 'limits': [1, 2.5, 'x'], 'nested': {}}",
         "{'count': 3, 'enabled': true, 'limits': [1, 2.5000000000000000000, 'x'], 'name': 'pump\\'s inlet', "
         "'nested': {}, 'ratio': 0.25000000000000000000, 'total': 40000000000L}"},
        // A later member of the same key wins; 00 is a boolean.
        {"{a 1 b = two a: 00}", "{'a': false, 'b': 'two'}"},
        {"<struct><member><name>id</name><value><int>7</int></value></member>"
         "<member><name>tags</name><value><array><data><value>red</value>"
         "<value><string>a&lt;b</string></value></data></array></value></member></struct>",
         "{'id': 7, 'tags': ['red', 'a<b']}"},
        {"", "{}"},
        {" \t\r\n ", "{}"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(parse(c.text), c.tree) << "text: " << c.text;
    }
}

TEST(PropertyParser, FailuresReportTheirCause) {
    const struct {
        std::string text, message;
    } cases[] = {
        {"[1, 2]", "syntax error"},
        {"{1: 2}", "syntax error"},
        {"{'a'}", "syntax error"},
        {"{'a': [1, {'b': 'c'}, 'd'", "syntax error"},
        {"{'a': {'b': 'unterminated", "syntax error"},
        {"#", "Error parsing Property: lexical error. found: '#'"},
        // Inside a block the parse error that follows the lexical one wins.
        {"{'a': #}", "syntax error"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(failureOf(c.text), scanFailure(c.message)) << "text: " << c.text;
    }
}

TEST(PropertyParser, NestingIsBoundedByTheParseStack) {
    auto inArrays = [](int depth) {
        return "{'a': " + std::string(depth, '[') + "1" + std::string(depth, ']') + "}";
    };
    auto inMaps = [](int depth) {
        std::string text;
        for (int i = 0; i <= depth; ++i) text += "{'a': ";
        return text + "1" + std::string(depth + 1, '}');
    };
    EXPECT_EQ(failureOf(inArrays(4997)), "no failure");
    EXPECT_EQ(failureOf(inArrays(4998)), scanFailure("parser stack overflow"));
    EXPECT_EQ(failureOf(inMaps(3331)), "no failure");
    EXPECT_EQ(failureOf(inMaps(3332)), scanFailure("parser stack overflow"));
}

// The translator writes its output to standard output; the line feeds the
// lexer echoes from inside an XML int must not end up there.
TEST(PropertyParser, XmlIntLineFeedsNeverReachStandardOutput) {
    testing::internal::CaptureStdout();
    const std::string tree = parse("{'a' <value><int>\n7</int></value>}");
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    EXPECT_EQ(tree, "{'a': 7}");
}

TEST(PropertyExtraction, StopsRightBehindEachBlock) {
    std::istringstream in("{'a': 1}XYZ");
    Properties properties;
    ASSERT_TRUE(in >> properties);
    EXPECT_EQ(properties.getInt("a"), 1);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "XYZ");

    std::istringstream twice("{} {}");
    for (int block = 0; block < 2; ++block) {
        properties = marked();
        ASSERT_TRUE(twice >> properties);
        EXPECT_TRUE(properties.getMap()->empty());
        EXPECT_EQ(twice.peek(), block == 0 ? ' ' : EOF);
    }
}

TEST(PropertyExtraction, FailureSetsFailbitAndKeepsTheCollection) {
    for (const char* text : {"", "   ", "#", "{'a': {'b': [1, 2"}) {
        std::istringstream in(text);
        Properties properties = marked();
        EXPECT_NO_THROW(in >> properties);
        EXPECT_TRUE(in.fail()) << "text: " << text;
        EXPECT_EQ(properties.toString(), "{'mark': 1}") << "text: " << text;
    }
    std::istringstream failed("{'a': 1}");
    failed.setstate(std::ios_base::failbit);
    Properties properties = marked();
    failed >> properties;
    EXPECT_EQ(properties.toString(), "{'mark': 1}");
    failed.clear();
    EXPECT_EQ(failed.peek(), '{') << "a failed stream is not read";
}

TEST(PropertyExtraction, ExceptionMaskPassesTheParseErrorOn) {
    std::istringstream in("{'a': ,}");
    in.exceptions(std::ios_base::failbit);
    Properties properties = marked();
    try {
        in >> properties;
        ADD_FAILURE() << "no exception";
    } catch (const std::ios_base::failure& failure) {
        EXPECT_EQ(std::string(failure.what()), scanFailure("syntax error"));
    }
    EXPECT_TRUE(in.fail());
    EXPECT_EQ(properties.toString(), "{'mark': 1}");
    // At the end of input there is no parse error: the stream's own
    // exception reports the failbit.
    std::istringstream empty("");
    empty.exceptions(std::ios_base::failbit);
    EXPECT_THROW(empty >> properties, std::ios_base::failure);
}

TEST(PropertyExtraction, TextAndXmlFormsReadAsTheSameTree) {
    const std::string text = "{'flag': false, 'list': [1, 2L, 'x'], 'sub': {'r': 0.5}, 'word': two}";
    const std::string mixed =
        "<struct><member><name>flag</name><value><boolean>0</boolean></value></member>"
        " 'list' <value><array><data><value><i4>1</i4></value> 2L <value>x</value>"
        "</data></array></value>"
        " sub <value><struct> r <value><double>0.5</double></value></struct></value>"
        " <name>word</name> \"two\" </struct>";
    const std::string written = parse(text);
    EXPECT_EQ(written,
              "{'flag': false, 'list': [1, 2L, 'x'], 'sub': {'r': 0.50000000000000000000}, 'word': 'two'}");
    EXPECT_EQ(parse(mixed), written);
    // Written out and read back, either notation gives the same text again.
    EXPECT_EQ(parse(written), written);
    EXPECT_EQ(parse(Properties(text).toXml()), written);
}

}  // namespace
