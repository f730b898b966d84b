#include <gtest/gtest.h>

#include <limits>
#include <optional>
#include <string>

#include "AllocationCounter.h"
#include "PropertyObject.h"

namespace {

// Reads node into a T twice, from two different presets. A cell that does not
// convert leaves both presets as they were (nullopt); a cell that converts
// gives the same value from both.
template <typename T>
std::optional<T> convert(const PropertyObject& node, T presetA, T presetB) {
    T a = presetA, b = presetB;
    node.getValue(a);
    node.getValue(b);
    if (a == presetA && b == presetB) return std::nullopt;
    EXPECT_EQ(a, b) << "conversion depends on the target's old value";
    return a;
}

struct Row {
    const char* label;
    PropertyObject* (*make)();
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
    {"UnsignedChar 200", [] { return new PropertyObject(static_cast<unsigned char>(200)); },
     200, no, no, no, no, no, no, no, no},
    {"Bool true", [] { return new PropertyObject(true); }, no, true, 1, 1u, 1LL, 1ULL, no, no, no},
    {"Bool false", [] { return new PropertyObject(false); }, no, false, 0, 0u, 0LL, 0ULL, no, no, no},
    {"Int from unsigned 4294967295", [] { return new PropertyObject(4294967295u); },
     no, true, -1, 4294967295u, -1LL, allBits64, -1.0f, -1.0, no},
    {"Int 0", [] { return new PropertyObject(0); }, no, false, 0, 0u, 0LL, 0ULL, 0.0f, 0.0, no},
    {"Int -7", [] { return new PropertyObject(-7); }, no, true, -7, 4294967289u, -7LL,
     allBits64 - 6, -7.0f, -7.0, no},
    {"Long 5000000000", [] { return new PropertyObject(5000000000LL); },
     no, true, no, no, 5000000000LL, 5000000000ULL, 5e9f, 5e9, no},
    {"Long from unsigned all bits", [] { return new PropertyObject(allBits64); },
     no, true, no, no, -1LL, allBits64, -1.0f, -1.0, no},
    {"Long 0", [] { return new PropertyObject(0LL); }, no, false, no, no, 0LL, 0ULL, 0.0f, 0.0, no},
    {"Double 0.1", [] { return new PropertyObject(0.1); }, no, no, no, no, no, no, 0.1f, 0.1, no},
    {"String", [] { return new PropertyObject(std::string("text")); }, no, no, no, no, no, no, no, no,
     std::string("text")},
    {"Array", [] { return new PropertyObject(new PropertyObject::ValueArray); },
     no, no, no, no, no, no, no, no, no},
    {"Map", [] { return new PropertyObject(new PropertyObject::ValueMap); },
     no, no, no, no, no, no, no, no, no},
};

TEST(PropertyObjectConversion, FollowsTheMatrixCellByCell) {
    for (const Row& row : conversionMatrix) {
        SCOPED_TRACE(row.label);
        PropertyObject* node = row.make();
        EXPECT_EQ(convert<unsigned char>(*node, 7, 9), row.asUChar);
        EXPECT_EQ(convert<bool>(*node, false, true), row.asBool);
        EXPECT_EQ(convert<int>(*node, 12345, -54321), row.asInt);
        EXPECT_EQ(convert<unsigned int>(*node, 12345u, 54321u), row.asUInt);
        EXPECT_EQ(convert<long long>(*node, 12345LL, -54321LL), row.asLongLong);
        EXPECT_EQ(convert<unsigned long long>(*node, 12345ULL, 54321ULL), row.asULongLong);
        EXPECT_EQ(convert<float>(*node, 123.5f, -54.25f), row.asFloat);
        EXPECT_EQ(convert<double>(*node, 123.5, -54.25), row.asDouble);
        EXPECT_EQ(convert<std::string>(*node, "preset a", "preset b"), row.asString);
        node->removeReference();
    }
}

TEST(PropertyObjectConversion, ContainerReadsHandOutTheNodesOwnContainer) {
    auto* elements = new PropertyObject::ValueArray;
    PropertyObject* array = new PropertyObject(elements);
    auto* members = new PropertyObject::ValueMap;
    PropertyObject* map = new PropertyObject(members);

    PropertyObject::ValueArray* arrayOut = nullptr;
    PropertyObject::ValueMap* mapOut = nullptr;
    array->getValue(arrayOut);
    map->getValue(mapOut);
    EXPECT_EQ(arrayOut, elements);
    EXPECT_EQ(mapOut, members);

    // Reads of the wrong container kind, or from a scalar, leave the target.
    PropertyObject::ValueArray* untouchedArray = elements;
    PropertyObject::ValueMap* untouchedMap = members;
    map->getValue(untouchedArray);
    array->getValue(untouchedMap);
    EXPECT_EQ(untouchedArray, elements);
    EXPECT_EQ(untouchedMap, members);

    // A change through the handed-out pointer is a change of the node.
    mapOut->emplace("k", new PropertyObject(3));
    EXPECT_EQ(map->asMap().size(), 1u);
    EXPECT_EQ(map->asMap().at("k")->asInt(), 3);

    array->removeReference();
    map->removeReference();
}

TEST(PropertyObjectType, TagsNamesAndStoredBits) {
    struct Case {
        PropertyObject* node;
        int tag;
        const char* name;
    } cases[] = {
        {new PropertyObject(static_cast<unsigned char>('a')), 0, "UnsignedChar"},
        {new PropertyObject(true), 1, "Bool"},
        {new PropertyObject(3), 2, "Int"},
        {new PropertyObject(3u), 2, "Int"},
        {new PropertyObject(3LL), 3, "Long"},
        {new PropertyObject(3ULL), 3, "Long"},
        {new PropertyObject(3.0), 4, "Double"},
        {new PropertyObject(std::string("s")), 5, "String"},
        {new PropertyObject(new PropertyObject::ValueArray), 7, "Array"},
        {new PropertyObject(new PropertyObject::ValueMap), 8, "Map"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(static_cast<int>(c.node->getType()), c.tag) << c.name;
        EXPECT_EQ(c.node->getTypeName(), c.name);
        c.node->removeReference();
    }
    PropertyObject* negative = new PropertyObject(2147483648u);
    EXPECT_EQ(negative->asInt(), -2147483647 - 1);
    negative->removeReference();
}

TEST(PropertyObjectType, TypeNameStringsLiveAcrossNodes) {
    PropertyObject* first = new PropertyObject(1.0);
    const std::string* name = &first->getTypeName();
    first->removeReference();
    PropertyObject* second = new PropertyObject(2.0);
    EXPECT_EQ(&second->getTypeName(), name);
    EXPECT_EQ(*name, "Double");
    second->removeReference();
}

TEST(PropertyObjectLifetime, SharedChildSurvivesUntilItsLastHolderLetsGo) {
    const long before = liveHeapBlocks();
    PropertyObject* child = new PropertyObject(42);
    auto* members = new PropertyObject::ValueMap;
    (*members)["child"] = child;  // the map adopts the creator's reference
    PropertyObject* map = new PropertyObject(members);
    const long withMapOnly = liveHeapBlocks();

    child->addReference();
    PropertyObject* first = new PropertyObject(new PropertyObject::ValueArray{child});
    child->addReference();
    PropertyObject* second = new PropertyObject(new PropertyObject::ValueArray{child});

    first->removeReference();
    EXPECT_EQ(child->asInt(), 42);
    second->removeReference();
    EXPECT_EQ(child->asInt(), 42);
    EXPECT_EQ(liveHeapBlocks(), withMapOnly) << "each array frees itself and nothing else";

    map->removeReference();
    EXPECT_EQ(liveHeapBlocks(), before) << "the last holder frees the child too";
}

TEST(PropertyObjectLifetime, ReleasingARootFreesTheWholeUnsharedTree) {
    const long before = liveHeapBlocks();
    auto* inner = new PropertyObject::ValueMap;
    (*inner)["s"] = new PropertyObject(std::string("a string long enough to leave the small buffer"));
    (*inner)["e"] = new PropertyObject(new PropertyObject::ValueArray);
    auto* elements = new PropertyObject::ValueArray{new PropertyObject(1.5), new PropertyObject(inner),
                                                    new PropertyObject(new PropertyObject::ValueMap)};
    PropertyObject* root = new PropertyObject(elements);
    EXPECT_GT(liveHeapBlocks(), before);
    root->removeReference();
    EXPECT_EQ(liveHeapBlocks(), before);
}

TEST(PropertyObjectLifetime, DirectAccessorsEditInPlace) {
    PropertyObject* node = new PropertyObject(std::string("old"));
    node->asString() = "new";
    std::string out;
    node->getValue(out);
    EXPECT_EQ(out, "new");
    node->removeReference();
}

}  // namespace
