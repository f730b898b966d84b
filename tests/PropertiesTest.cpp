#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <string>
#include <vector>

#include <properties/Properties.h>

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

const std::string missingK = "Property with name \"k\" does not exist\n";

}  // namespace

TEST(PropertiesHandle, CopiesAndReadCollectionsShareNodes) {
    Properties a("{'x': 1}");
    Properties b(a), c;
    c = a;
    b.set("y", 2);
    a.remove("x");
    EXPECT_EQ(c.toString(), "{'y': 2}");

    Properties inner;
    a.set("inner", inner);
    a.set("list", std::vector<Properties>{inner});
    std::vector<Properties> read;
    a.get("list", read);
    read.at(0).set("p", 1);
    a.getProperties("inner").set("q", 2);
    EXPECT_EQ(inner.toString(), "{'p': 1, 'q': 2}");
}

TEST(PropertiesHandle, AssignmentsKeepEveryHeldNodeAlive) {
    Properties a("{'x': 1}");
    Properties b(a);
    Properties& alias = a;
    a = alias;
    a = b;
    b.clear();  // frees the root if either assignment dropped a reference
    EXPECT_EQ(a.getInt("x"), 1);

    Properties outer, inner("{'v': 7}");
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
        EXPECT_EQ(p.toString(), "{'k': 2}");
    }
    Properties p;
    EXPECT_EQ(stderrOf([&] { EXPECT_EQ(p.getInt("k"), 0); }), missingK);
}

// The name handed to a set or remove may be the key stored in the very entry
// that is about to be replaced (read from getMap()), or the value may be the
// stored text under that name. The key is long enough to be kept on the
// heap, so a read after its entry is erased shows in the normal build too.
TEST(PropertiesModes, NameMayBeTheStoredKeyItself) {
    typedef std::function<void(Properties&, const std::string&)> Set;
    const std::string key = "a name long enough to be kept on the heap";
    const struct {
        const char* family;
        Set set;
        std::string stored;  // the value's text afterwards; empty when the entry is gone
    } cases[] = {
        {"scalar", [](Properties& p, const std::string& n) { p.set(n, 2); }, "2"},
        {"scalar, Replace", [](Properties& p, const std::string& n) { p.set(n, 2LL, Properties::Replace); }, "2L"},
        {"string", [](Properties& p, const std::string& n) { p.set(n, std::string("new")); }, "'new'"},
        {"the stored string", [](Properties& p, const std::string& n) { p.set(n, p.getObject(n)->asString()); },
         "'old'"},
        {"vector", [](Properties& p, const std::string& n) { p.set(n, std::vector<double>{0.5}); },
         "[0.50000000000000000000]"},
        {"raw array",
         [](Properties& p, const std::string& n) {
             const unsigned int values[] = {1, 2};
             p.set(n, values, 2);
         },
         "[1, 2]"},
        {"map",
         [](Properties& p, const std::string& n) {
             p.set(n, std::map<std::string, long long>{{"a", 1}});
         },
         "{'a': 1L}"},
        {"nested collection",
         [](Properties& p, const std::string& n) {
             Properties nested("{'a': 1}");
             p.set(n, nested);
         },
         "{'a': 1}"},
        {"collections", [](Properties& p, const std::string& n) { p.set(n, std::vector<Properties>(1)); }, "[{}]"},
        {"remove", [](Properties& p, const std::string& n) { p.remove(n); }, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.family);
        Properties p;
        p.set(key, "old");
        c.set(p, p.getMap()->begin()->first);
        EXPECT_EQ(p.toString(), c.stored.empty() ? "{}" : "{'" + key + "': " + c.stored + "}");
    }
}

// Only a Map can be a collection's root: anything else is refused with a
// warning, and the handle keeps its root or gets an empty one.
TEST(PropertiesNested, NonMapValuesAreRefusedAsCollectionsWithAWarning) {
    const std::string warning = "Property value of type Int is not a Map and cannot be used as a collection\n";
    Properties p("{'n': 5, 'list': [5]}"), kept("{'k': 1}");
    EXPECT_EQ(stderrOf([&] { p.get("n", kept); }), warning);
    EXPECT_EQ(kept.getInt("k"), 1);
    EXPECT_EQ(stderrOf([&] { EXPECT_TRUE(p.getProperties("n").getMap()->empty()); }), warning);
    std::vector<Properties> read(1);
    EXPECT_EQ(stderrOf([&] { p.get("list", read); }), warning);
    ASSERT_EQ(read.size(), 2u);  // appended: one empty handle keeps the indices aligned
    EXPECT_TRUE(read[1].getMap()->empty());
}

TEST(PropertiesMerge, OverlaysOtherValuesAndMergesNestedMapsInPlace) {
    Properties mine("{'only': 1, 'kind': {'x': 1}, 'list': [1, 2, 3]}"), mineNested("{'a': 1}");
    Properties theirs("{'added': 5, 'kind': 4, 'list': [9]}"), theirsNested("{'c': 3}");
    mine.set("nested", mineNested);
    theirs.set("nested", theirsNested);
    mine.merge(theirs);
    const std::string merged = "{'added': 5, 'kind': 4, 'list': [9], 'nested': {'a': 1, 'c': 3}, 'only': 1}";
    EXPECT_EQ(mine.toString(), merged);
    EXPECT_EQ(mineNested.toString(), "{'a': 1, 'c': 3}");  // in place, seen by the handle that stored it
    EXPECT_EQ(theirsNested.toString(), "{'c': 3}");

    Properties sharer(mine);
    mine.merge(mine);
    mine.merge(sharer);
    EXPECT_EQ(mine.toString(), merged);
}
