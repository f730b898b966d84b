#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <cstdio>
#include <limits>
#include <random>
#include <sstream>
#include <string>

#include "Properties.h"
#include "PropertyObject.h"

namespace {

typedef PropertyObject Node;

Node* arrayOf(std::initializer_list<Node*> elements) {
    return new Node(new Node::ValueArray(elements));
}

Node* mapOf(std::initializer_list<std::pair<const std::string, Node*>> members) {
    return new Node(new Node::ValueMap(members));
}

// Both renderings of a node; releases the node.
struct Rendered {
    std::string text, xml;
};
Rendered render(Node* node) {
    std::ostringstream text, xml;
    node->display(text);
    node->displayXML(xml);
    node->removeReference();
    return {text.str(), xml.str()};
}

const double nan = std::numeric_limits<double>::quiet_NaN();
const double inf = std::numeric_limits<double>::infinity();
const std::string zeroByte(1, '\0');

struct Case {
    const char* label;
    Node* (*make)();
    std::string text, xml;
};

const Case cases[] = {
    {"letter", [] { return new Node(static_cast<unsigned char>('A')); }, "A",
     "<unsignedchar>A</unsignedchar>"},
    {"minus byte", [] { return new Node(static_cast<unsigned char>('-')); }, "Z",
     "<unsignedchar>-</unsignedchar>"},
    {"point byte", [] { return new Node(static_cast<unsigned char>('.')); }, "Z",
     "<unsignedchar>.</unsignedchar>"},
    {"zero byte", [] { return new Node(static_cast<unsigned char>(0)); }, "Z",
     "<unsignedchar>" + zeroByte + "</unsignedchar>"},
    {"markup byte unescaped", [] { return new Node(static_cast<unsigned char>('<')); }, "<",
     "<unsignedchar><</unsignedchar>"},
    {"true", [] { return new Node(true); }, "true", "<boolean>1</boolean>"},
    {"false", [] { return new Node(false); }, "false", "<boolean>0</boolean>"},
    {"Int from unsigned max", [] { return new Node(4294967295u); }, "-1", "<int>-1</int>"},
    {"Int min", [] { return new Node(INT_MIN); }, "-2147483648", "<int>-2147483648</int>"},
    {"Long", [] { return new Node(12LL); }, "12L", "<long>12</long>"},
    {"Long from unsigned max", [] { return new Node(18446744073709551615ULL); }, "-1L",
     "<long>-1</long>"},
    {"Long min", [] { return new Node(LLONG_MIN); }, "-9223372036854775808L",
     "<long>-9223372036854775808</long>"},
    {"string escapes", [] { return new Node(std::string("a\tb\nc'd\\e\rf\"")); },
     "'a\\tb\\nc\\'d\\\\e\rf\"'", "<string>a\tb\nc'd\\e\rf\"</string>"},
    {"string markup", [] { return new Node(std::string("x&y<z>")); }, "'x&y<z>'",
     "<string>x&amp;y&lt;z></string>"},
    {"string raw bytes", [] { return new Node("\xe9" + zeroByte + "\x7f"); },
     "'\xe9" + zeroByte + "\x7f'", "<string>\xe9" + zeroByte + "\x7f</string>"},
    {"empty string", [] { return new Node(std::string()); }, "''", "<string></string>"},
    {"empty array", [] { return arrayOf({}); }, "[]", "<array><data></data></array>"},
    {"empty map", [] { return mapOf({}); }, "{}", "<struct></struct>"},
    {"nested array", [] { return arrayOf({new Node(1), arrayOf({}), arrayOf({new Node(true)})}); },
     "[1, [], [true]]",
     "<array><data><value><int>1</int></value><value><array><data></data></array></value>"
     "<value><array><data><value><boolean>1</boolean></value></data></array></value>"
     "</data></array>"},
    {"keys unescaped in text, escaped in XML, byte order",
     [] { return mapOf({{"b'\\", new Node(1)}, {"a&<>", new Node(2)}, {"B", new Node(3)}}); },
     "{'B': 3, 'a&<>': 2, 'b'\\': 1}",
     "<struct><member><name>B</name><value><int>3</int></value></member>"
     "<member><name>a&amp;&lt;></name><value><int>2</int></value></member>"
     "<member><name>b'\\</name><value><int>1</int></value></member></struct>"},
};

TEST(PropertyWriter, rendersEachTypeAsTextAndXml) {
    for (const Case& c : cases) {
        Rendered r = render(c.make());
        EXPECT_EQ(r.text, c.text) << c.label;
        EXPECT_EQ(r.xml, c.xml) << c.label;
    }
}

TEST(PropertyWriter, floatingFormatTables) {
    struct Row {
        double value;
        const char* text;
        const char* xml;
    };
    const Row rows[] = {
        {1.0, "1.0000000000000000000", "1.000000000"},
        {0.1, "0.10000000000000000555", "0.1000000000"},
        {100.0, "100.00000000000000000", "100.0000000"},
        {-2.5, "-2.5000000000000000000", "-2.500000000"},
        {123456789.0, "123456789.00000000000", "123456789.0"},
        {1e10, "10000000000.000000000", "1.000000000e+10"},
        {1e19, "10000000000000000000.", "1.000000000e+19"},
        {1e20, "1.0000000000000000000e+20", "1.000000000e+20"},
        {1e-5, "1.0000000000000000818e-05", "1.000000000e-05"},
        {nan, "0.0000000000000000000", "0.000000000"},
        {-nan, "0.0000000000000000000", "0.000000000"},
        {-0.0, "-0.0000000000000000000", "-0.000000000"},
        {inf, "inf", "inf"},
        {-inf, "-inf", "-inf"},
    };
    for (const Row& row : rows) {
        Rendered r = render(new Node(row.value));
        EXPECT_EQ(r.text, row.text) << row.value;
        EXPECT_EQ(r.xml, std::string("<double>") + row.xml + "</double>") << row.value;
    }
}

// The C library's "%#.Ng" is the reference for the general notation.
TEST(PropertyWriter, floatingFormatMatchesPrintfOverManyValues) {
    std::mt19937_64 random(7);
    std::uniform_int_distribution<int> exponent(-320, 308);
    std::uniform_real_distribution<double> mantissa(-10.0, 10.0);
    char expected[64];
    for (int i = 0; i < 2000; ++i) {
        double value = mantissa(random) * std::pow(10.0, exponent(random));
        Rendered r = render(new Node(value));
        std::snprintf(expected, sizeof expected, "%#.20g", value);
        EXPECT_EQ(r.text, expected);
        std::snprintf(expected, sizeof expected, "<double>%#.10g</double>", value);
        EXPECT_EQ(r.xml, expected);
    }
}

Node* worked() {
    return mapOf({{"Id", new Node(3)},
                  {"Name", new Node(std::string("a'b"))},
                  {"Size", new Node(12LL)},
                  {"Steady", new Node(true)},
                  {"Variables", arrayOf({mapOf({{"DataType", new Node(std::string("Float4"))}})})}});
}
const char* const workedText =
    "{'Id': 3, 'Name': 'a\\'b', 'Size': 12L, 'Steady': true, 'Variables': [{'DataType': 'Float4'}]}";

Node* workedForXml() {
    return mapOf({{"Id", new Node(3)},
                  {"Steady", new Node(true)},
                  {"Variables", arrayOf({mapOf({{"Name", new Node(std::string("a<b"))}})})}});
}
const char* const workedXml =
    "<struct><member><name>Id</name><value><int>3</int></value></member><member><name>Steady</name>"
    "<value><boolean>1</boolean></value></member><member><name>Variables</name><value><array><data>"
    "<value><struct><member><name>Name</name><value><string>a&lt;b</string></value></member>"
    "</struct></value></data></array></value></member></struct>";

TEST(PropertyWriter, workedExamplesByteForByte) {
    EXPECT_EQ(render(worked()).text, workedText);
    EXPECT_EQ(render(workedForXml()).xml, workedXml);
}

TEST(PropertyWriter, collectionEntryPointsAgreeWithTheNodeWriters) {
    Node* root = worked();
    Properties properties(*root);
    root->removeReference();
    std::ostringstream viaOperator, viaXml;
    viaOperator << properties;
    properties.displayXML(viaXml);
    EXPECT_EQ(properties.toString(), workedText);
    EXPECT_EQ(viaOperator.str(), workedText);
    EXPECT_EQ(properties.toXml(), viaXml.str());
    EXPECT_EQ(Properties().toString(), "{}");
    EXPECT_EQ(Properties().toXml(), "<struct></struct>");
}

// After a Double the caller's stream keeps showpoint and the writer's
// precision; before one it is untouched.
TEST(PropertyWriter, doubleLeavesCallerStreamFormatChanged) {
    std::ostringstream out;
    Node* number = new Node(7);
    number->display(out);
    number->displayXML(out);
    number->removeReference();
    EXPECT_FALSE(out.flags() & std::ios_base::showpoint);
    EXPECT_EQ(out.precision(), 6);

    Node* real = new Node(0.5);
    real->display(out);
    std::ostringstream later;
    later.copyfmt(out);
    later << 0.25;
    EXPECT_EQ(later.str(), "0.25000000000000000000");
    real->displayXML(out);
    real->removeReference();
    EXPECT_TRUE(out.flags() & std::ios_base::showpoint);
    EXPECT_EQ(out.precision(), 10);
}

// Numbers must read back whatever base, sign or notation flags the caller's
// stream carries.
TEST(PropertyWriter, outputDoesNotDependOnCallerStreamFlags) {
    Node* tree = arrayOf({new Node(255), new Node(-3LL), new Node(1e-7), new Node(true), new Node(inf)});
    std::ostringstream plain, plainXml, odd, oddXml;
    tree->display(plain);
    tree->displayXML(plainXml);
    for (std::ostream* s : {static_cast<std::ostream*>(&odd), static_cast<std::ostream*>(&oddXml)}) {
        *s << std::hex << std::showpos << std::fixed << std::uppercase << std::boolalpha;
    }
    tree->display(odd);
    tree->displayXML(oddXml);
    tree->removeReference();
    EXPECT_EQ(odd.str(), plain.str());
    EXPECT_EQ(oddXml.str(), plainXml.str());
    EXPECT_EQ(plain.str(), "[255, -3L, 9.9999999999999995475e-08, true, inf]");
}

}  // namespace
