#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include <properties/Properties.h>

namespace {

// Reads name into an output preset to `preset`, so "left as it was" is visible.
template <typename T>
T readInto(const Properties& p, const std::string& name, T preset) {
    p.get(name, preset);
    return preset;
}

}  // namespace

// Where a read differs from copying the stored value: floats are stored
// widened, vectors take the stored length and elements that do not convert read as
// zero, not as what the output held.
TEST(PropertiesAccessors, ScalarsVectorsArraysAndMaps) {
    typedef std::vector<std::vector<double>> Rows;
    typedef std::map<std::string, int> IntMap;
    Properties p;
    p.set("float", 0.1f);
    p.set("long", 5000000000LL);
    p.set("floats", std::vector<float>{0.1f, -2.5f});
    p.set("longs", std::vector<long long>{5000000000LL, 7});
    p.set("rows", Rows{{1.5, 2.5}, {3.5}});
    p.set("none", static_cast<const int*>(nullptr), 0);
    EXPECT_EQ(p.getReal("float"), 0.100000001490116119384765625);
    EXPECT_EQ(readInto(p, "floats", std::vector<double>(10, 9.0)),
              (std::vector<double>{static_cast<double>(0.1f), -2.5}));
    EXPECT_EQ(readInto(p, "longs", std::vector<int>{9, 9, 9}), (std::vector<int>{0, 0}));
    EXPECT_EQ(readInto(p, "rows", Rows(3, std::vector<double>(4, 9.0))), (Rows{{1.5, 2.5}, {3.5}}));
    EXPECT_TRUE(readInto(p, "none", std::vector<int>{1}).empty());

    // Raw arrays stay within the caller's count.
    const unsigned int stored[] = {1, 2, 4294967295u};
    p.set("values", stored, 3);
    unsigned int buffer[4] = {7, 7, 7, 7};
    p.get("values", buffer, 2);
    EXPECT_EQ(std::vector<unsigned int>(buffer, buffer + 4), (std::vector<unsigned int>{1, 2, 7, 7}));

    // A map read keeps the output's other keys.
    p.set("ints", IntMap{{"b", 2}, {"a", 1}});
    EXPECT_EQ(readInto(p, "ints", IntMap{{"c", 3}}), (IntMap{{"a", 1}, {"b", 2}, {"c", 3}}));
    EXPECT_EQ(readInto(p, "long", IntMap{{"c", 3}}), (IntMap{{"c", 3}}));
}
