#include <gtest/gtest.h>

#include <limits>
#include <map>
#include <string>
#include <vector>

#include "Properties.h"

namespace {

// Reads name into an output preset to `preset`, so "left as it was" is visible.
template <typename T>
T readInto(const Properties& p, const std::string& name, T preset) {
    p.get(name, preset);
    return preset;
}

typedef std::vector<std::vector<double> > Rows;
typedef std::map<std::string, int> IntMap;

}  // namespace

TEST(PropertiesAccessors, ScalarsConvertOnlyWhereTheStoredTypeAllows) {
    Properties p;
    p.set("float", 0.1f);
    p.set("uint", 4294967295u);
    p.set("ulong", std::numeric_limits<unsigned long long>::max());
    p.set("long", 5000000000LL);
    p.set("bool", true);
    p.set("text", "zero-terminated");

    EXPECT_EQ(p.getReal("float"), 0.100000001490116119384765625);
    EXPECT_EQ(readInto(p, "float", 0.0f), 0.1f);
    EXPECT_EQ(p.getUnsignedInt("uint"), 4294967295u);
    EXPECT_EQ(p.getInt("uint"), -1);
    EXPECT_EQ(p.getLong("uint"), -1);
    EXPECT_EQ(p.getReal("uint"), -1.0);
    EXPECT_EQ(readInto(p, "ulong", 0ULL), std::numeric_limits<unsigned long long>::max());
    EXPECT_EQ(p.getLong("ulong"), -1);
    EXPECT_EQ(readInto(p, "long", 42), 42);  // no narrowing from Long
    EXPECT_EQ(p.getReal("long"), 5e9);
    EXPECT_EQ(p.getInt("bool"), 1);
    EXPECT_EQ(readInto(p, "bool", 2.5), 2.5);
    EXPECT_EQ(p.getString("long"), "");
    EXPECT_EQ(p.getString("text"), "zero-terminated");
}

TEST(PropertiesAccessors, VectorsTakeTheStoredLengthAndZeroWhatDoesNotConvert) {
    Properties p;
    p.set("floats", std::vector<float>{0.1f, -2.5f});
    p.set("longs", std::vector<long long>{5000000000LL, 7});
    p.set("bools", std::vector<bool>{true, false, true});
    p.set("none", static_cast<const int*>(nullptr), 0);
    p.set("scalar", 3);

    EXPECT_EQ(readInto(p, "floats", std::vector<double>(10, 9.0)),
              (std::vector<double>{static_cast<double>(0.1f), -2.5}));
    EXPECT_EQ(readInto(p, "longs", std::vector<int>{9, 9, 9}), (std::vector<int>{0, 0}));
    EXPECT_EQ(readInto(p, "longs", std::vector<std::string>{"x"}), (std::vector<std::string>{"", ""}));
    EXPECT_EQ(readInto(p, "bools", std::vector<bool>()), (std::vector<bool>{true, false, true}));
    EXPECT_EQ(p.getObject("none")->getType(), PropertyObject::Array);
    EXPECT_TRUE(readInto(p, "none", std::vector<int>{1}).empty());
    EXPECT_EQ(readInto(p, "scalar", std::vector<int>{1, 2}), (std::vector<int>{1, 2}));
}

TEST(PropertiesAccessors, RawArraysStayWithinTheCallersCount) {
    Properties p;
    const unsigned int stored[] = {1, 2, 4294967295u};
    p.set("values", stored, 3);
    unsigned int shortBuffer[4] = {7, 7, 7, 7};
    p.get("values", shortBuffer, 2);
    EXPECT_EQ(std::vector<unsigned int>(shortBuffer, shortBuffer + 4), (std::vector<unsigned int>{1, 2, 7, 7}));
    double longBuffer[5] = {7, 7, 7, 7, 7};
    p.get("values", longBuffer, 5);
    EXPECT_EQ(std::vector<double>(longBuffer, longBuffer + 5), (std::vector<double>{1, 2, -1, 7, 7}));
}

TEST(PropertiesAccessors, RowsKeepTheirLengths) {
    Properties p;
    p.set("rows", Rows{{1.5, 2.5}, {3.5}});
    p.set("notRows", std::vector<Properties>(1));
    EXPECT_EQ(readInto(p, "rows", Rows(3, std::vector<double>(4, 9.0))), (Rows{{1.5, 2.5}, {3.5}}));
    EXPECT_EQ(readInto(p, "notRows", Rows{{1.0}}), Rows(1));
}

TEST(PropertiesAccessors, MapsBecomeNestedCollectionsAndKeepForeignKeys) {
    Properties p;
    p.set("ints", IntMap{{"b", 2}, {"a", 1}});
    p.set("longs", std::map<std::string, long long>{{"big", 5000000000LL}});
    p.set("scalar", 3);
    EXPECT_EQ(p.getProperties("ints").getObject("b")->getType(), PropertyObject::Int);
    EXPECT_EQ(readInto(p, "ints", IntMap{{"c", 3}}), (IntMap{{"a", 1}, {"b", 2}, {"c", 3}}));
    EXPECT_EQ(p.getProperties("longs").getLong("big"), 5000000000LL);
    EXPECT_EQ(readInto(p, "scalar", IntMap{{"c", 3}}), (IntMap{{"c", 3}}));
}
