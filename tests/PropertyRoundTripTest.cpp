#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <random>
#include <sstream>
#include <string>

#include "Properties.h"
#include "PropertyObject.h"

// Random trees are written as property text or XML and read back through
// operator>>; the result must equal the original node by node.

namespace {

typedef PropertyObject Node;

// Builds random trees of the types both notations carry. Only the engine's
// raw output is used (never a std distribution), so a seed gives the same
// trees with every standard library.
class TreeMaker {
public:
    // xmlRpc: no Long values, which XML-RPC lacks, and strings and keys only
    // of characters XML allows in character data.
    TreeMaker(std::uint64_t seed, bool xmlRpc) : random(seed), xmlRpc(xmlRpc) {}

    // One random tree as a collection.
    Properties tree() {
        Node* root = map(4);
        Properties tree(*root);
        root->removeReference();
        return tree;
    }

private:
    Node* map(int depth) {
        Node::ValueMap* members = new Node::ValueMap;
        for (std::uint64_t n = below(7); n > 0; --n) {
            Node* member = value(depth - 1);
            if (!members->emplace(bytes(true), member).second) member->removeReference();
        }
        return new Node(members);
    }

    std::uint64_t below(std::uint64_t n) { return random() % n; }

    Node* value(int depth) {
        switch (below(depth > 0 ? 7 : 5)) {
        case 0: return new Node(below(2) == 1);
        case 1: return below(4) == 0 ? new Node(static_cast<int>(below(21)) - 10)
                                    : new Node(static_cast<std::uint32_t>(random()));
        case 2: return !xmlRpc ? new Node(static_cast<unsigned long long>(random()))
                               : new Node(static_cast<std::uint32_t>(random()));
        case 3: return new Node(finiteDouble());
        case 4: return new Node(bytes(false));
        case 5: {
            Node::ValueArray* elements = new Node::ValueArray;
            for (std::uint64_t n = below(7); n > 0; --n) elements->push_back(value(depth - 1));
            return new Node(elements);
        }
        default: return map(depth);
        }
    }

    double finiteDouble() {
        static const double edges[] = {0.0, -0.0, 5e-324, -2.2250738585072014e-308, 1.7976931348623157e308,
                                       0.1, 1e20, 1e-5, 123456789.0, 9.999999999e9};
        switch (below(3)) {
        case 0: return edges[below(sizeof edges / sizeof edges[0])];
        case 1: return (static_cast<double>(below(2000001)) - 1000000.0) / 1000.0;
        }
        for (;;) {  // any finite bit pattern, subnormals included
            std::uint64_t bits = random();
            double value;
            std::memcpy(&value, &bits, sizeof value);
            if (std::isfinite(value)) return value;
        }
    }

    // Strings lean towards the characters the writers escape or that mean
    // something to the reader. Keys leave out the apostrophe and the
    // backslash, which the text writer does not escape; nothing holds byte 0.
    std::string bytes(bool key) {
        static const std::string special = "'\\\t\n\r&<>\"{}[]:,= 0.-Le";
        static const std::string xmlSafe = "aZ09 &<>'\"\t\n\r;#=";
        std::string text;
        for (std::uint64_t n = below(key ? 8 : 12); n > 0; --n) {
            char c;
            if (xmlRpc) c = xmlSafe[below(xmlSafe.size())];
            else if (below(2) == 0) c = special[below(special.size())];
            else c = static_cast<char>(1 + below(255));
            if (key && (c == '\'' || c == '\\')) c = 'k';
            text += c;
        }
        return text;
    }

    std::mt19937_64 random;
    bool xmlRpc;
};

bool same(const Node& want, const Node& got, bool xml);

bool sameMembers(const Node::ValueMap& want, const Node::ValueMap& got, bool xml) {
    return std::equal(want.begin(), want.end(), got.begin(), got.end(), [xml](const auto& w, const auto& g) {
        return w.first == g.first && same(*w.second, *g.second, xml);
    });
}

// XML carries 10 significant digits of a double; text carries every bit.
bool same(const Node& want, const Node& got, bool xml) {
    if (want.getType() != got.getType()) return false;
    switch (want.getType()) {
    case Node::Bool: return want.asBool() == got.asBool();
    case Node::Int: return want.asInt() == got.asInt();
    case Node::Long: return want.asLong() == got.asLong();
    case Node::Double: {
        char digits[64];
        std::snprintf(digits, sizeof digits, "%.10g", want.asDouble());
        const double expected = xml ? std::strtod(digits, nullptr) : want.asDouble();
        return std::memcmp(&expected, &got.asDouble(), sizeof expected) == 0;
    }
    case Node::String: return want.asString() == got.asString();
    case Node::Array: {
        const Node::ValueArray &w = want.asArray(), &g = got.asArray();
        return std::equal(w.begin(), w.end(), g.begin(), g.end(),
                          [xml](const Node* a, const Node* b) { return same(*a, *b, xml); });
    }
    case Node::Map: return sameMembers(want.asMap(), got.asMap(), xml);
    default: return false;
    }
}

// Writes each tree, reads it back with bytes behind it, and checks both the
// tree and that the reader stopped right at the end of the block.
void roundTrip(bool xml, std::uint64_t seed) {
    TreeMaker maker(seed, false);
    for (int i = 0; i < 4000; ++i) {
        const Properties original = maker.tree();
        const std::string written = xml ? original.toXml() : original.toString();
        std::istringstream in(written + "~rest");
        Properties back;
        ASSERT_TRUE(in >> back) << "tree " << i << ": " << written;
        const std::string rest(std::istreambuf_iterator<char>(in), {});
        EXPECT_EQ(rest, "~rest") << "tree " << i << ": " << written;
        ASSERT_TRUE(sameMembers(*original.getMap(), *back.getMap(), xml))
            << "tree " << i << ": " << written << "\nread back as " << back.toString();
    }
}

TEST(PropertyRoundTrip, textReadsBackExactly) { roundTrip(false, 1); }

TEST(PropertyRoundTrip, xmlReadsBackToTenDigits) { roundTrip(true, 2); }

// Recursive-descent check that a fragment is XML-RPC value content: only the
// XML-RPC elements, nested where XML-RPC puts them, and character data with
// no markup characters but the &amp; and &lt; entities, no "]]>" and no
// control characters that XML forbids.
class XmlRpcChecker {
public:
    explicit XmlRpcChecker(const std::string& xml) : xml(xml) {}

    bool isStruct() { return structure() && at == xml.size(); }

private:
    bool tag(const std::string& literal) {
        if (xml.compare(at, literal.size(), literal) != 0) return false;
        at += literal.size();
        return true;
    }

    // Character data up to the next '<'.
    bool characters() {
        std::size_t end = xml.find('<', at);
        if (end == std::string::npos) return false;
        const std::string text = xml.substr(at, end - at);
        at = end;
        if (text.find("]]>") != std::string::npos) return false;
        for (std::size_t i = 0; i < text.size(); ++i) {
            unsigned char c = static_cast<unsigned char>(text[i]);
            if (c < 0x20 && c != '\t' && c != '\n' && c != '\r') return false;
            if (c == '&' && text.compare(i, 5, "&amp;") != 0 && text.compare(i, 4, "&lt;") != 0) return false;
        }
        return true;
    }

    bool value() {
        const std::size_t start = at;
        // Number formats are checked by the writer tests; here only the markup.
        for (std::string scalar : {"boolean", "int", "double", "string"}) {
            if (tag("<" + scalar + ">") && characters() && tag("</" + scalar + ">")) return true;
            at = start;
        }
        if (structure()) return true;
        at = start;
        if (!tag("<array><data>")) return false;
        while (tag("<value>")) {
            if (!value() || !tag("</value>")) return false;
        }
        return tag("</data></array>");
    }

    bool structure() {
        if (!tag("<struct>")) return false;
        while (tag("<member><name>")) {
            if (!characters() || !tag("</name><value>") || !value() || !tag("</value></member>")) return false;
        }
        return tag("</struct>");
    }

    const std::string& xml;
    std::size_t at = 0;
};

bool wellFormed(const std::string& xml) { return XmlRpcChecker(xml).isStruct(); }

TEST(PropertyRoundTrip, xmlOfIntBoolDoubleStringTreesIsXmlRpcContent) {
    // The checker itself must reject what is not XML-RPC content.
    EXPECT_TRUE(wellFormed("<struct><member><name>a&amp;</name><value><int>-3</int></value></member></struct>"));
    EXPECT_FALSE(wellFormed("<struct><member><name>a</name><value><string><</string></value></member></struct>"));
    EXPECT_FALSE(wellFormed("<struct><member><name>a&gt;</name><value><int>3</int></value></member></struct>"));
    EXPECT_FALSE(wellFormed("<struct><member><name>a</name><value><long>3</long></value></member></struct>"));

    TreeMaker maker(3, true);
    for (int i = 0; i < 2000; ++i) {
        const std::string xml = maker.tree().toXml();
        ASSERT_TRUE(wellFormed(xml)) << "tree " << i << ": " << xml;
    }
}

}  // namespace
