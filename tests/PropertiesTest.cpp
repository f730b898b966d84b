#include <gtest/gtest.h>

#include <initializer_list>
#include <string>
#include <utility>
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

Properties ints(std::initializer_list<std::pair<const char*, int> > entries) {
    Properties p;
    for (const auto& entry : entries) p.set(entry.first, entry.second);
    return p;
}

const std::string missingK = "Property with name \"k\" does not exist\n";
const std::string notACollection = "Property value of type Int is not a Map and cannot be used as a collection\n";

}  // namespace

TEST(PropertiesHandle, CopiesShareTheRootAndClearDetachesOneHandle) {
    Properties a = ints({{"x", 1}});
    Properties b(a), c;
    c = a;
    b.set("y", 2);
    a.remove("x");
    EXPECT_FALSE(c.hasName("x"));
    EXPECT_EQ(c.getInt("y"), 2);
    b.clear();
    b.set("w", 4);
    EXPECT_EQ(b.getMap()->size(), 1u);
    EXPECT_EQ(a.getMap()->size(), 1u);
    EXPECT_EQ(a.getInt("y"), 2);
}

TEST(PropertiesHandle, AssignmentsKeepEveryHeldNodeAlive) {
    Properties a = ints({{"x", 1}});
    Properties b(a);
    Properties& alias = a;
    a = alias;
    a = b;
    b.clear();  // frees the root if either assignment dropped a reference
    EXPECT_EQ(a.getInt("x"), 1);

    Properties outer;
    {
        Properties inner = ints({{"v", 7}});
        outer.set("inner", inner);
    }
    outer.get("inner", outer);  // the released old root was the only holder of "inner"
    EXPECT_EQ(outer.getInt("v"), 7);
    PropertyObject* v = outer.getObject("v");
    v->addReference();
    outer.clear();
    EXPECT_EQ(v->asInt(), 7);
    v->removeReference();
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

TEST(PropertiesModes, MissingNamesWarnAndLeaveEverythingAsItWas) {
    Properties p = ints({{"other", 1}});
    PropertyObject* found = p.getObject("other");
    EXPECT_EQ(stderrOf([&] { found = p.getObject("k"); }), missingK);
    EXPECT_EQ(found, nullptr);
    EXPECT_EQ(stderrOf([&] { p.remove("k"); }), missingK);
    EXPECT_EQ(p.getMap()->size(), 1u);
    std::vector<Properties> list(2);
    EXPECT_EQ(stderrOf([&] {
                  EXPECT_EQ(p.getInt("k"), 0);
                  EXPECT_EQ(p.getString("k"), "");
                  EXPECT_TRUE(p.getProperties("k").getMap()->empty());
                  p.get("k", list);
              }),
              missingK + missingK + missingK + missingK);
    EXPECT_EQ(list.size(), 2u);
}

TEST(PropertiesNested, StoredCollectionsStaySharedBothWays) {
    Properties outer, inner = ints({{"a", 1}});
    outer.set("inner", inner);
    inner.set("b", 2);
    EXPECT_EQ(outer.getProperties("inner").getInt("b"), 2);
    outer.set("list", std::vector<Properties>{inner, ints({})});
    std::vector<Properties> read;
    outer.get("list", read);
    outer.get("list", read);  // appends
    ASSERT_EQ(read.size(), 4u);
    read[2].set("c", 3);
    EXPECT_EQ(inner.getInt("c"), 3);
}

TEST(PropertiesNested, NonMapValuesAreRefusedAsCollectionsWithAWarning) {
    Properties p = ints({{"n", 5}}), kept = ints({{"k", 1}});
    p.set("list", std::vector<int>{5});
    PropertyObject& number = *p.getObject("n");
    EXPECT_EQ(stderrOf([&] { kept = number; }), notACollection);
    EXPECT_EQ(stderrOf([&] { p.get("n", kept); }), notACollection);
    EXPECT_EQ(kept.getInt("k"), 1);
    EXPECT_EQ(stderrOf([&] { EXPECT_TRUE(Properties(number).getMap()->empty()); }), notACollection);
    EXPECT_EQ(stderrOf([&] { EXPECT_TRUE(p.getProperties("n").getMap()->empty()); }), notACollection);
    std::vector<Properties> read;
    EXPECT_EQ(stderrOf([&] { p.get("list", read); }), notACollection);
    ASSERT_EQ(read.size(), 1u);  // one empty handle keeps the indices aligned
    EXPECT_TRUE(read[0].getMap()->empty());
}

TEST(PropertiesMerge, OverlaysOtherValuesAndMergesNestedMapsInPlace) {
    Properties mine = ints({{"only", 1}}), theirs = ints({{"added", 5}, {"kind", 4}});
    Properties mineNested = ints({{"a", 1}, {"b", 1}}), theirsNested = ints({{"b", 2}, {"c", 3}});
    Properties loser = ints({{"x", 1}});
    mine.set("nested", mineNested);
    mine.set("kind", loser);
    mine.set("list", std::vector<int>{1, 2, 3});
    theirs.set("nested", theirsNested);
    theirs.set("list", std::vector<int>{9});

    mine.merge(theirs);
    EXPECT_EQ(mine.getInt("only"), 1);
    EXPECT_EQ(mine.getObject("added"), theirs.getObject("added"));  // shared, not copied
    EXPECT_EQ(mine.getInt("kind"), 4);
    std::vector<int> list;
    mine.get("list", list);
    EXPECT_EQ(list, std::vector<int>{9});
    // Merged in place: the handle that stored the nested map sees the result.
    EXPECT_EQ(mineNested.getInt("a"), 1);
    EXPECT_EQ(mineNested.getInt("b"), 2);
    EXPECT_EQ(mineNested.getInt("c"), 3);
    EXPECT_EQ(theirsNested.getMap()->size(), 2u);

    Properties sharer(mine);
    mine.merge(mine);
    mine.merge(sharer);
    EXPECT_EQ(mine.getMap()->size(), 5u);
    EXPECT_EQ(mine.getInt("kind"), 4);
}
