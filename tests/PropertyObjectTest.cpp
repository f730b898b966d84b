#include <gtest/gtest.h>

#include <limits>
#include <optional>
#include <string>

#include <properties/PropertyObject.h>

#include "AllocationCounter.h"

namespace {

typedef PropertyObject Node;

// Reads node into a T from two different presets. A cell that does not
// convert leaves both presets as they were (nullopt); a cell that converts
// gives the same value from both.
template <typename T>
std::optional<T> convert(const Node& node, T presetA, T presetB) {
    T a = presetA, b = presetB;
    node.getValue(a);
    node.getValue(b);
    if (a == presetA && b == presetB) return std::nullopt;
    EXPECT_EQ(a, b) << "conversion depends on the target's old value";
    return a;
}

// One row per stored value: its type name and tag (the numbers getType()
// hands to callers), then what each target type reads from it.
struct Row {
    const char* typeName;
    int tag;
    Node* (*make)();
    std::optional<unsigned char> asUChar;
    std::optional<bool> asBool;
    std::optional<int> asInt;
    std::optional<unsigned int> asUInt;
    std::optional<long long> asLongLong;
    std::optional<unsigned long long> asULongLong;
    std::optional<float> asFloat;
    std::optional<double> asDouble;
    std::optional<std::string> asString;
};

const std::nullopt_t no = std::nullopt;
const unsigned long long allBits64 = std::numeric_limits<unsigned long long>::max();

const Row conversionMatrix[] = {
    {"UnsignedChar", 0, [] { return new Node(static_cast<unsigned char>(200)); }, 200, no, no, no, no, no, no, no, no},
    {"Bool", 1, [] { return new Node(true); }, no, true, 1, 1u, 1LL, 1ULL, no, no, no},
    {"Int", 2, [] { return new Node(4294967295u); }, no, true, -1, 4294967295u, -1LL, allBits64, -1.0f, -1.0, no},
    {"Long", 3, [] { return new Node(5000000000LL); }, no, true, no, no, 5000000000LL, 5000000000ULL, 5e9f, 5e9, no},
    {"Long", 3, [] { return new Node(allBits64); }, no, true, no, no, -1LL, allBits64, -1.0f, -1.0, no},
    {"Double", 4, [] { return new Node(0.1); }, no, no, no, no, no, no, 0.1f, 0.1, no},
    {"String", 5, [] { return new Node(std::string("text")); }, no, no, no, no, no, no, no, no, std::string("text")},
    // A C string is text, never the bool a pointer converts to; null gives "".
    {"String", 5, [] { return new Node("text"); }, no, no, no, no, no, no, no, no, std::string("text")},
    {"String", 5, [] { return new Node(static_cast<const char*>(nullptr)); }, no, no, no, no, no, no, no, no, ""},
    {"Array", 7, [] { return new Node(new Node::ValueArray); }, no, no, no, no, no, no, no, no, no},
    {"Map", 8, [] { return new Node(new Node::ValueMap); }, no, no, no, no, no, no, no, no, no},
};

TEST(PropertyObjectConversion, FollowsTheMatrixCellByCell) {
    for (const Row& row : conversionMatrix) {
        SCOPED_TRACE(testing::Message() << "row " << &row - conversionMatrix);
        Node* node = row.make();
        EXPECT_EQ(static_cast<int>(node->getType()), row.tag);
        EXPECT_EQ(convert<unsigned char>(*node, 7, 9), row.asUChar);
        EXPECT_EQ(convert<bool>(*node, false, true), row.asBool);
        EXPECT_EQ(convert<int>(*node, 12345, -54321), row.asInt);
        EXPECT_EQ(convert<unsigned int>(*node, 12345u, 54321u), row.asUInt);
        EXPECT_EQ(convert<long long>(*node, 12345LL, -54321LL), row.asLongLong);
        EXPECT_EQ(convert<unsigned long long>(*node, 12345ULL, 54321ULL), row.asULongLong);
        EXPECT_EQ(convert<float>(*node, 123.5f, -54.25f), row.asFloat);
        EXPECT_EQ(convert<double>(*node, 123.5, -54.25), row.asDouble);
        EXPECT_EQ(convert<std::string>(*node, "preset a", "preset b"), row.asString);
        const std::string& name = node->getTypeName();
        node->removeReference();
        EXPECT_EQ(name, row.typeName) << "the name outlives the node";
    }
}

TEST(PropertyObjectLifetime, SharedChildSurvivesUntilItsLastHolderLetsGo) {
    const long before = liveHeapBlocks();
    Node* child = new Node(42);
    Node* map = new Node(new Node::ValueMap{{"child", child}});
    const long withMapOnly = liveHeapBlocks();

    child->addReference();
    Node* array = new Node(new Node::ValueArray{child});
    array->removeReference();
    EXPECT_EQ(child->asInt(), 42);
    EXPECT_EQ(liveHeapBlocks(), withMapOnly) << "the array frees itself and nothing else";

    map->removeReference();
    EXPECT_EQ(liveHeapBlocks(), before) << "the last holder frees the child too";
}

}  // namespace
