#include <gtest/gtest.h>

#include <climits>
#include <limits>
#include <sstream>
#include <string>

#include <properties/Properties.h>
#include <properties/PropertyObject.h>

namespace {

typedef PropertyObject Node;

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

const double inf = std::numeric_limits<double>::infinity();
const double nan = std::numeric_limits<double>::quiet_NaN();
const std::string zeroByte(1, '\0');

TEST(PropertyWriter, rendersEachTypeAsTextAndXml) {
    const struct {
        Node* node;
        std::string text, xml;
    } cases[] = {
        {new Node(static_cast<unsigned char>(0)), "Z", "<unsignedchar>" + zeroByte + "</unsignedchar>"},
        {new Node(LLONG_MIN), "-9223372036854775808L", "<long>-9223372036854775808</long>"},
        // Doubles: 20 significant digits in text, 10 in XML, the point always
        // shown; neither notation carries a NaN.
        {new Node(0.1), "0.10000000000000000555", "<double>0.1000000000</double>"},
        {new Node(1e19), "10000000000000000000.", "<double>1.000000000e+19</double>"},
        {new Node(1e20), "1.0000000000000000000e+20", "<double>1.000000000e+20</double>"},
        {new Node(1e-5), "1.0000000000000000818e-05", "<double>1.000000000e-05</double>"},
        {new Node(nan), "0.0000000000000000000", "<double>0.000000000</double>"},
        {new Node(-0.0), "-0.0000000000000000000", "<double>-0.000000000</double>"},
        {new Node(inf), "inf", "<double>inf</double>"},
        {new Node(std::string("a\tb\nc'd\\e\rf\"")), "'a\\tb\\nc\\'d\\\\e\rf\"'", "<string>a\tb\nc'd\\e\rf\"</string>"},
        {new Node(std::string("x&y<z>")), "'x&y<z>'", "<string>x&amp;y&lt;z></string>"},
        // Keys: unescaped in text, escaped in XML, in byte order.
        {new Node(new Node::ValueMap{{"b'\\", new Node(1)}, {"a&<>", new Node(2)}, {"B", new Node(3)}}),
         "{'B': 3, 'a&<>': 2, 'b'\\': 1}",
         "<struct><member><name>B</name><value><int>3</int></value></member>"
         "<member><name>a&amp;&lt;></name><value><int>2</int></value></member>"
         "<member><name>b'\\</name><value><int>1</int></value></member></struct>"},
    };
    for (const auto& c : cases) {
        Rendered r = render(c.node);
        EXPECT_EQ(r.text, c.text);
        EXPECT_EQ(r.xml, c.xml);
    }
}

TEST(PropertyWriter, workedExamplesByteForByte) {
    const std::string text =
        "{'Id': 3, 'Name': 'a\\'b', 'Size': 12L, 'Steady': true, 'Variables': [{'DataType': 'Float4'}]}";
    std::ostringstream written;
    written << Properties(text);
    EXPECT_EQ(written.str(), text);
    EXPECT_EQ(Properties("{'Id': 3, 'Steady': true, 'Variables': [{'Name': 'a<b'}]}").toXml(),
              "<struct><member><name>Id</name><value><int>3</int></value></member><member><name>Steady</name>"
              "<value><boolean>1</boolean></value></member><member><name>Variables</name><value><array><data>"
              "<value><struct><member><name>Name</name><value><string>a&lt;b</string></value></member>"
              "</struct></value></data></array></value></member></struct>");
}

// Numbers must read back whatever base, sign or notation flags the caller's
// stream carries. Code writing further numbers onto the same stream may rely
// on a Double leaving showpoint and the writer's precision behind.
TEST(PropertyWriter, callerStreamFlagsDoNotChangeTheOutputButDoublesChangeTheFlags) {
    Node* tree =
        new Node(new Node::ValueArray{new Node(255), new Node(-3LL), new Node(true), new Node(inf), new Node(1e-7)});
    std::ostringstream odd, oddXml;
    odd << std::hex << std::showpos << std::fixed << std::uppercase << std::boolalpha;
    oddXml.copyfmt(odd);
    tree->display(odd);
    tree->displayXML(oddXml);
    EXPECT_TRUE(odd.flags() & std::ios_base::showpoint);
    EXPECT_EQ(odd.precision(), 20);
    Rendered plain = render(tree);
    EXPECT_EQ(odd.str(), "[255, -3L, true, inf, 9.9999999999999995475e-08]");
    EXPECT_EQ(oddXml.str(), plain.xml);
}

}  // namespace
