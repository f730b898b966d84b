#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "Properties.h"

// A missing addReference or one release too many shows up as use-after-free
// or a leak in the sanitizer build, so these tests keep touching the handles
// that should have survived.
namespace {

template <typename Action>
std::string stderrOf(Action action) {
    testing::internal::CaptureStderr();
    action();
    return testing::internal::GetCapturedStderr();
}

Properties withInt(const char* name, int value) {
    Properties p;
    p.set(name, value);
    return p;
}

const std::string missingK = "Property with name \"k\" does not exist\n";

}  // namespace

TEST(PropertiesHandle, CopiesShareTheRootAndClearDetachesOneHandle) {
    Properties a = withInt("x", 1);
    Properties b(a), c;
    c = a;
    b.set("y", 2);
    a.remove("x");
    EXPECT_FALSE(c.hasName("x"));
    EXPECT_EQ(c.getInt("y"), 2);
    b.clear();
    EXPECT_TRUE(b.getMap()->empty());
    EXPECT_EQ(a.getInt("y"), 2);
}

TEST(PropertiesHandle, AssignmentsKeepEveryHeldNodeAlive) {
    Properties a = withInt("x", 1);
    Properties b(a);
    Properties& alias = a;
    a = alias;
    a = b;
    b.clear();  // frees the root if either assignment dropped a reference
    EXPECT_EQ(a.getInt("x"), 1);

    Properties outer, inner = withInt("v", 7);
    outer.set("inner", inner);
    inner.clear();
    outer.get("inner", outer);  // the old root was the only holder of "inner"
    EXPECT_EQ(outer.getInt("v"), 7);
}

TEST(PropertiesModes, WarningsAndTheValueThatSurvives) {
    const std::string exists = "Name used in Properties insert/rename operation already exists: k\n";
    const struct {
        Properties::Mode mode;
        bool present;
        std::string warning;
    } cases[] = {
        {Properties::Insert, true, exists},      {Properties::Insert, false, ""},
        {Properties::Replace, true, ""},         {Properties::Replace, false, missingK},
        {Properties::InsertOrReplace, true, ""}, {Properties::InsertOrReplace, false, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "mode " << c.mode << ", present " << c.present);
        Properties p;
        if (c.present) p.set("k", "old");
        EXPECT_EQ(stderrOf([&] { p.set("k", 2, c.mode); }), c.warning);
        EXPECT_EQ(p.getInt("k"), 2);
        EXPECT_EQ(p.getMap()->size(), 1u);
    }
}

TEST(PropertiesModes, MissingNamesWarnAndReadAsNothing) {
    Properties p;
    std::vector<Properties> list(1);
    EXPECT_EQ(stderrOf([&] { EXPECT_EQ(p.getInt("k"), 0); }), missingK);
    EXPECT_EQ(stderrOf([&] { p.get("k", list); }), missingK);
    EXPECT_EQ(list.size(), 1u);
}

TEST(PropertiesNested, ReadCollectionsShareTheStoredMaps) {
    Properties outer, inner;
    outer.set("inner", inner);
    outer.set("list", std::vector<Properties>{inner});
    std::vector<Properties> read;
    outer.get("list", read);
    read.at(0).set("a", 1);
    outer.getProperties("inner").set("b", 2);
    EXPECT_EQ(inner.getMap()->size(), 2u);
}

// Only a Map can be a collection's root: anything else is refused with a
// warning, and the handle keeps its root or gets an empty one.
TEST(PropertiesNested, NonMapValuesAreRefusedAsCollectionsWithAWarning) {
    const std::string warning = "Property value of type Int is not a Map and cannot be used as a collection\n";
    Properties p = withInt("n", 5), kept = withInt("k", 1);
    p.set("list", std::vector<int>{5});
    EXPECT_EQ(stderrOf([&] { p.get("n", kept); }), warning);
    EXPECT_EQ(kept.getInt("k"), 1);
    EXPECT_EQ(stderrOf([&] { EXPECT_TRUE(p.getProperties("n").getMap()->empty()); }), warning);
    std::vector<Properties> read(1);
    EXPECT_EQ(stderrOf([&] { p.get("list", read); }), warning);
    ASSERT_EQ(read.size(), 2u);  // appended: one empty handle keeps the indices aligned
    EXPECT_TRUE(read[1].getMap()->empty());
}

TEST(PropertiesMerge, OverlaysOtherValuesAndMergesNestedMapsInPlace) {
    Properties mine = withInt("only", 1), theirs = withInt("added", 5), loser = withInt("x", 1);
    Properties mineNested = withInt("a", 1), theirsNested = withInt("c", 3);
    mine.set("nested", mineNested);
    mine.set("kind", loser);
    mine.set("list", std::vector<int>{1, 2, 3});
    theirs.set("nested", theirsNested);
    theirs.set("kind", 4);
    theirs.set("list", std::vector<int>{9});

    mine.merge(theirs);
    EXPECT_EQ(mine.getObject("added"), theirs.getObject("added"));  // shared, not copied
    EXPECT_EQ(mine.getInt("kind"), 4);
    std::vector<int> list;
    mine.get("list", list);
    EXPECT_EQ(list, std::vector<int>{9});
    // In place: the handle that stored the nested map sees the result.
    EXPECT_EQ(mineNested.getInt("a"), 1);
    EXPECT_EQ(mineNested.getInt("c"), 3);
    EXPECT_EQ(theirsNested.getMap()->size(), 1u);

    Properties sharer(mine);
    mine.merge(mine);
    mine.merge(sharer);
    EXPECT_EQ(mine.getMap()->size(), 5u);
}
