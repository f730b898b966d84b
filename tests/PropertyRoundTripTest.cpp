#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <iterator>
#include <random>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include <properties/Properties.h>
#include <properties/PropertyObject.h>

// Random trees are written as property text or XML and read back through
// operator>>. Text carries every bit of a double, so the tree read back must
// equal the original node by node; XML keeps ten digits, so there the tree
// read back must give the same XML again.

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

    Properties tree() {
        Node* root = map(4);
        Properties tree(*root);
        root->removeReference();
        return tree;
    }

private:
    std::uint64_t below(std::uint64_t n) { return random() % n; }

    Node* map(int depth) {
        Node::ValueMap* members = new Node::ValueMap;
        for (std::uint64_t n = below(7); n > 0; --n) {
            Node* member = value(depth - 1);
            if (!members->emplace(bytes(true), member).second) member->removeReference();
        }
        return new Node(members);
    }

    Node* value(int depth) {
        switch (below(depth > 0 ? 7 : 5)) {
            case 0: return new Node(below(2) == 1);
            case 1: return new Node(static_cast<std::uint32_t>(random()));
            case 2:
                return xmlRpc ? new Node(static_cast<int>(below(21)) - 10)
                              : new Node(static_cast<unsigned long long>(random()));
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

    // Nothing within ten digits of the largest double, which XML would
    // round up to an infinity.
    double finiteDouble() {
        static const double edges[] = {0.0, -0.0, 5e-324, -1.797693134e308, 0.1, 1e20, 1e-5, 9.999999999e9};
        if (below(2) == 0) return edges[below(sizeof edges / sizeof edges[0])];
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
            if (xmlRpc)
                c = xmlSafe[below(xmlSafe.size())];
            else if (below(2) == 0)
                c = special[below(special.size())];
            else
                c = static_cast<char>(1 + below(255));
            if (key && (c == '\'' || c == '\\')) c = 'k';
            text += c;
        }
        return text;
    }

    std::mt19937_64 random;
    bool xmlRpc;
};

bool same(const Node& want, const Node& got);

bool sameMembers(const Node::ValueMap& want, const Node::ValueMap& got) {
    return std::equal(want.begin(), want.end(), got.begin(), got.end(),
                      [](const auto& w, const auto& g) { return w.first == g.first && same(*w.second, *g.second); });
}

// Doubles bit for bit; an independent check of what the text writer keeps.
bool same(const Node& want, const Node& got) {
    if (want.getType() != got.getType()) return false;
    switch (want.getType()) {
        case Node::Bool: return want.asBool() == got.asBool();
        case Node::Int: return want.asInt() == got.asInt();
        case Node::Long: return want.asLong() == got.asLong();
        case Node::Double: return std::memcmp(&want.asDouble(), &got.asDouble(), sizeof(double)) == 0;
        case Node::String: return want.asString() == got.asString();
        case Node::Array:
            return std::equal(want.asArray().begin(), want.asArray().end(), got.asArray().begin(), got.asArray().end(),
                              [](const Node* w, const Node* g) { return same(*w, *g); });
        default: return sameMembers(want.asMap(), got.asMap());
    }
}

// Reads each tree back with bytes behind it, and checks both the tree and
// that the reader stopped right at the end of the block.
void roundTrip(bool xml, std::uint64_t seed) {
    TreeMaker maker(seed, false);
    for (int i = 0; i < 4000; ++i) {
        const Properties original = maker.tree();
        const std::string written = xml ? original.toXml() : original.toString();
        std::istringstream in(written + "~rest");
        Properties back;
        ASSERT_TRUE(in >> back) << "tree " << i << ": " << written;
        EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "~rest") << "tree " << i;
        if (xml) {
            ASSERT_EQ(back.toXml(), written) << "tree " << i;
        } else {
            ASSERT_TRUE(sameMembers(*original.getMap(), *back.getMap())) << written << "\nread as " << back.toString();
        }
    }
}

TEST(PropertyRoundTrip, textReadsBackExactly) {
    roundTrip(false, 1);
}

TEST(PropertyRoundTrip, xmlReadsBackToTenDigits) {
    roundTrip(true, 2);
}

// Whether a fragment is one XML-RPC struct: only XML-RPC elements, each
// inside the element XML-RPC puts it in and closed in order, and character
// data only where a scalar goes, without markup characters but the &amp; and
// &lt; entities or the control characters XML forbids.
bool isXmlRpcStruct(const std::string& xml) {
    static const std::set<std::string> nesting = {"/struct",      "struct/member", "member/name",  "member/value",
                                                  "value/struct", "value/array",   "array/data",   "data/value",
                                                  "value/int",    "value/boolean", "value/double", "value/string"};
    static const std::set<std::string> scalars = {"name", "int", "boolean", "double", "string"};
    std::vector<std::string> open{""};
    for (std::size_t at = 0; at < xml.size();) {
        if (xml[at] != '<') {
            const std::string text = xml.substr(at, xml.find('<', at) - at);
            if (scalars.count(open.back()) == 0) return false;
            for (std::size_t i = 0; i < text.size(); ++i) {
                const unsigned char c = static_cast<unsigned char>(text[i]);
                if (c < 0x20 && c != '\t' && c != '\n' && c != '\r') return false;
                if (c == '&' && text.compare(i, 5, "&amp;") != 0 && text.compare(i, 4, "&lt;") != 0) return false;
            }
            at += text.size();
            continue;
        }
        const std::size_t end = xml.find('>', at);
        if (end == std::string::npos) return false;
        const std::string tag = xml.substr(at + 1, end - at - 1);
        at = end + 1;
        if (tag[0] != '/' && nesting.count(open.back() + "/" + tag) == 1) {
            open.push_back(tag);
        } else if (open.size() > 1 && tag == "/" + open.back()) {
            open.pop_back();
        } else {
            return false;
        }
    }
    return open.size() == 1 && !xml.empty();
}

TEST(PropertyRoundTrip, xmlOfIntBoolDoubleStringTreesIsXmlRpcContent) {
    // The checker itself must reject what is not XML-RPC content.
    const std::string member = "<struct><member><name>a&amp;</name><value><int>-3</int></value></member></struct>";
    EXPECT_TRUE(isXmlRpcStruct(member));
    for (const auto& bad : {std::make_pair("-3", "<"),
                            {"a&amp;", "a&gt;"},
                            {"int", "long"},
                            {"</name><value>", "<value>"},
                            {"</member>", "</struct>"}}) {
        std::string xml = member;
        xml.replace(xml.find(bad.first), std::strlen(bad.first), bad.second);
        EXPECT_FALSE(isXmlRpcStruct(xml)) << xml;
    }
    TreeMaker maker(3, true);
    for (int i = 0; i < 2000; ++i) {
        const std::string xml = maker.tree().toXml();
        ASSERT_TRUE(isXmlRpcStruct(xml)) << "tree " << i << ": " << xml;
    }
}

}  // namespace
