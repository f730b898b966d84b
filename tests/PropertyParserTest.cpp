#include <gtest/gtest.h>

#include <ios>
#include <sstream>
#include <string>

#include "Properties.h"
#include "PropertyObject.h"
#include "PropertyParser.h"

namespace {

// A compact, unambiguous picture of a tree: every scalar carries its type,
// so an Int 1 and a Double 1.0 or a String "1" never look alike.
std::string describe(const PropertyObject& node) {
    std::ostringstream out;
    switch (node.getType()) {
    case PropertyObject::Bool: out << (node.asBool() ? "true" : "false"); break;
    case PropertyObject::Int: out << "i" << node.asInt(); break;
    case PropertyObject::Long: out << "l" << node.asLong(); break;
    case PropertyObject::Double: out.precision(17); out << "d" << node.asDouble(); break;
    case PropertyObject::String: out << "'" << node.asString() << "'"; break;
    case PropertyObject::Array: {
        out << "[";
        const char* separator = "";
        for (const PropertyObject* element : node.asArray()) {
            out << separator << describe(*element);
            separator = " ";
        }
        out << "]";
        break;
    }
    case PropertyObject::Map: {
        out << "{";
        const char* separator = "";
        for (const auto& member : node.asMap()) {
            out << separator << member.first << "=" << describe(*member.second);
            separator = " ";
        }
        out << "}";
        break;
    }
    default: out << "?" << node.getTypeName(); break;
    }
    return out.str();
}

// Parses the whole text as one block with a fresh parser.
std::string parse(const std::string& text) {
    std::istringstream in(text);
    PropertyParser parser(in);
    PropertyObject* root = parser.scan();
    if (root == nullptr) {
        return "null";
    }
    std::string picture = describe(*root);
    root->removeReference();
    return picture;
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
        {"{'name': 'pump\\'s inlet', count: 3, 'total': 40000000000L, 'ratio': 0.25, "
         "'enabled': true, 'limits': [1, 2.5, 'x'], 'nested': {}}",
         "{count=i3 enabled=true limits=[i1 d2.5 'x'] name='pump's inlet' nested={} "
         "ratio=d0.25 total=l40000000000}"},
        // A later member of the same key wins; 00 is a boolean.
        {"{a 1 b = two a: 00}", "{a=false b='two'}"},
        {"<struct><member><name>id</name><value><int>7</int></value></member>"
         "<member><name>tags</name><value><array><data><value>red</value>"
         "<value><string>a&lt;b</string></value></data></array></value></member></struct>",
         "{id=i7 tags=['red' 'a<b']}"},
        {"{'a' 'b' 'c' 'd'}", "{a='b' c='d'}"},
        {"{'x': 1.0e3, 'y': -.5, 'z': NaN}", "{x=d1000 y=d-0.5 z=d0}"},
        {" \n,:=</value><data>{}", "{}"},
        {"{'m': [[], {'k': [{}]}], \"q\": <value><struct><member><name>n</name>"
         "<value><long>-5</long></value></member></struct></value>}",
         "{m=[[] {k=[{}]}] q={n=l-5}}"},
        {"", "null"},
        {" \t\r\n ", "null"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE("text: " + c.text);
        EXPECT_EQ(parse(c.text), c.tree);
    }
}

TEST(PropertyParser, FailuresReportTheirCause) {
    const struct {
        std::string text, message;
    } cases[] = {
        {"[1, 2]", "syntax error"},
        {"5", "syntax error"},
        {"{'a'}", "syntax error"},
        {"{1: 2}", "syntax error"},
        {"{true: 1}", "syntax error"},
        {"{[]: 1}", "syntax error"},
        {"{'a': ,}", "syntax error"},
        {"{'a': 1", "syntax error"},
        {"{'a': [1, {'b': 'c'}, 'd'", "syntax error"},
        {"{'a': {'b': 'unterminated", "syntax error"},
        {"#", "Error parsing Property: lexical error. found: '#'"},
        {"{'a': #}", "syntax error"},
        {"{'a': ['x' #", "syntax error"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE("text: " + c.text);
        EXPECT_EQ(failureOf(c.text), scanFailure(c.message));
    }
}

std::string nestedInArrays(int depth) {
    return "{'a': " + std::string(depth, '[') + "1" + std::string(depth, ']') + "}";
}

std::string chainOfMaps(int count) {
    std::string text = "{'a': ";
    for (int i = 0; i < count; ++i) {
        text += "{'a': ";
    }
    text += "1";
    text += std::string(count + 1, '}');
    return text;
}

TEST(PropertyParser, NestingIsBoundedByTheParseStack) {
    EXPECT_EQ(failureOf(nestedInArrays(4997)), "no failure");
    EXPECT_EQ(failureOf(nestedInArrays(4998)), scanFailure("parser stack overflow"));
    EXPECT_EQ(failureOf(chainOfMaps(3331)), "no failure");
    EXPECT_EQ(failureOf(chainOfMaps(3332)), scanFailure("parser stack overflow"));
}

TEST(PropertyParser, ScanReadsOneBlockAfterAnother) {
    std::istringstream in("{'a': 1}\n{'b': 2}  ");
    PropertyParser parser(in);
    const char* expected[] = {"{a=i1}", "{b=i2}"};
    for (const char* tree : expected) {
        PropertyObject* root = parser.scan();
        ASSERT_NE(root, nullptr);
        EXPECT_EQ(describe(*root), tree);
        root->removeReference();
    }
    EXPECT_EQ(parser.scan(), nullptr);
}

TEST(PropertyParser, XmlIntLineFeedsNeverReachStandardOutput) {
    testing::internal::CaptureStdout();
    std::string tree = parse("{'a' <value><int>\n7</int></value>}");
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    EXPECT_EQ(tree, "{a=i7}");
}

TEST(PropertiesFromText, EmptyOrBlankTextGivesAnEmptyCollection) {
    for (const char* text : {"", "  \n"}) {
        Properties properties{std::string(text)};
        EXPECT_TRUE(properties.getMap()->empty()) << "text: '" << text << "'";
        EXPECT_EQ(properties.toString(), "{}");
    }
}

TEST(PropertiesFromText, ReadsTheBlockOrThrows) {
    Properties properties(std::string("{'a': 1}"));
    EXPECT_EQ(properties.getInt("a"), 1);
    EXPECT_EQ(properties.getMap()->size(), 1u);
    try {
        Properties broken(std::string("{'a'"));
        FAIL() << "no exception";
    } catch (const std::ios_base::failure& failure) {
        EXPECT_EQ(std::string(failure.what()), scanFailure("syntax error"));
    }
}

// A collection that shows whether a failed read left it alone.
Properties marked() {
    Properties properties;
    properties.set("mark", 1);
    return properties;
}

TEST(PropertyExtraction, StopsRightBehindTheBlock) {
    std::istringstream in("{'a': 1}XYZ");
    Properties properties;
    EXPECT_TRUE(in >> properties);
    EXPECT_EQ(properties.getInt("a"), 1);
    std::string rest;
    std::getline(in, rest);
    EXPECT_EQ(rest, "XYZ");
}

TEST(PropertyExtraction, ReadsConsecutiveBlocksAndFailsAtTheEnd) {
    std::istringstream in("{} {}");
    Properties properties = marked();
    ASSERT_TRUE(in >> properties);
    EXPECT_TRUE(properties.getMap()->empty());
    EXPECT_EQ(in.peek(), ' ');

    properties = marked();
    ASSERT_TRUE(in >> properties);
    EXPECT_TRUE(properties.getMap()->empty());

    properties = marked();
    EXPECT_FALSE(in >> properties);
    EXPECT_EQ(properties.toString(), "{'mark': 1}");
}

TEST(PropertyExtraction, FailureSetsFailbitAndKeepsTheCollection) {
    for (const char* text : {"", "   ", "{'a': ,}", "#", "{'a': {'b': [1, 2"}) {
        std::istringstream in(text);
        Properties properties = marked();
        EXPECT_NO_THROW(in >> properties);
        EXPECT_TRUE(in.fail()) << "text: " << text;
        EXPECT_EQ(properties.toString(), "{'mark': 1}") << "text: " << text;
    }
}

TEST(PropertyExtraction, StreamAlreadyFailedIsNotRead) {
    std::istringstream in("{'a': 1}");
    in.setstate(std::ios_base::failbit);
    Properties properties = marked();
    in >> properties;
    EXPECT_EQ(properties.toString(), "{'mark': 1}");
    in.clear();
    EXPECT_EQ(in.peek(), '{');
}

TEST(PropertyExtraction, ExceptionMaskPassesTheParseErrorOn) {
    std::istringstream in("{'a': ,}");
    in.exceptions(std::ios_base::failbit);
    Properties properties = marked();
    try {
        in >> properties;
        FAIL() << "no exception";
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
    const std::string text =
        "{'flag': false, 'list': [1, 2L, 'x'], 'sub': {'r': 0.5}, 'word': two}";
    const std::string mixed =
        "<struct><member><name>flag</name><value><boolean>0</boolean></value></member>"
        " 'list' <value><array><data><value><i4>1</i4></value> 2L <value>x</value>"
        "</data></array></value>"
        " sub <value><struct> r <value><double>0.5</double></value></struct></value>"
        " <name>word</name> \"two\" </struct>";
    Properties fromText(text);
    Properties fromMixed(mixed);
    EXPECT_EQ(describe(*fromMixed.getObject("list")), "[i1 l2 'x']");
    EXPECT_EQ(fromMixed.toString(), fromText.toString());
    // Written out and read back, either notation gives the same text again.
    EXPECT_EQ(Properties(fromText.toString()).toString(), fromText.toString());
    EXPECT_EQ(Properties(fromText.toXml()).toString(), fromText.toString());
}

}  // namespace
