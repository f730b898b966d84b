#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <iostream>
#include <limits>
#include <sstream>
#include <string>
#include <vector>

#include "TrackData.h"

namespace {

// A variable's raw data: elements of `stride` bytes, each value copied to
// the start of its element, the rest filled with 0xAB so that a read past
// the element size would show.
template <typename T>
std::vector<char> elements(const std::vector<T>& values, std::size_t stride) {
    std::vector<char> data(values.size() * stride, static_cast<char>(0xAB));
    for (std::size_t i = 0; i < values.size(); ++i) std::memcpy(&data[i * stride], &values[i], sizeof(T));
    return data;
}

std::string written(const std::string& type, int index, int size, std::vector<char>& data) {
    std::stringstream out;
    writeData(out, type, index, size, data.data());
    return out.str();
}

std::string printed(const std::string& type, int index, int size, std::vector<char>& data) {
    std::ostringstream captured;
    std::streambuf* saved = std::cout.rdbuf(captured.rdbuf());
    printData(type, index, size, data.data());
    std::cout.rdbuf(saved);
    return captured.str();
}

struct Vec3f {
    float x, y, z;
};
struct Vec3d {
    double x, y, z;
};

TEST(TrackData, ScalarTextForms) {
    struct Case {
        double value;
        const char* text;
    };
    const Case doubles[] = {
        {1.5, "1.5 "},      {100000, "100000 "}, {1234567, "1.23457e+06 "}, {0.00001, "1e-05 "},
        {-2, "-2 "},        {-0.0, "-0 "},       {0.0001, "0.0001 "},       {1e300, "1e+300 "},
        {299.75, "299.75 "}, {std::numeric_limits<double>::denorm_min(), "4.94066e-324 "},
    };
    for (const Case& c : doubles) {
        SCOPED_TRACE(c.text);
        std::vector<char> data = elements<double>({c.value}, 8);
        EXPECT_EQ(written("Float8", 0, 8, data), c.text);
    }
    // Singles are widened: the float nearest 0.1 still reads as 0.1.
    std::vector<char> single = elements<float>({0.1f, -0.0f, 3.4028235e38f}, 4);
    EXPECT_EQ(written("Float4", 0, 4, single), "0.1 ");
    EXPECT_EQ(written("Float4", 1, 4, single), "-0 ");
    EXPECT_EQ(written("Float4", 2, 4, single), "3.40282e+38 ");

    std::vector<char> counts = elements<std::uint32_t>({0, 4294967295u, 7}, 4);
    EXPECT_EQ(written("Unsigned4", 0, 4, counts), "0 ");
    EXPECT_EQ(written("Unsigned4", 1, 4, counts), "4294967295 ");
    EXPECT_EQ(written("Unsigned4", 2, 4, counts), "7 ");
}

TEST(TrackData, StrideSkipsTheBytesBehindEachElement) {
    std::vector<char> floats = elements<float>({0.25f, 0.125f, 0.5f}, 8);
    EXPECT_EQ(written("Float4", 2, 8, floats), "0.5 ");
    float value = 0;
    ASSERT_TRUE(getDataValue("Float4", 1, 8, floats.data(), value));
    EXPECT_EQ(value, 0.125f);

    std::vector<char> vectors = elements<Vec3f>({{1, 2, 3}, {-4, 5.5f, 6}}, 16);
    EXPECT_EQ(written("Vector<3,Float4>", 1, 16, vectors), "-4 5.5 6 ");
    float components[3] = {};
    ASSERT_TRUE(getDataValue("Vector<3,Float4>", 1, 16, vectors.data(), components));
    EXPECT_EQ(components[0], -4.0f);
    EXPECT_EQ(components[2], 6.0f);

    std::vector<char> wide = elements<Vec3d>({{0, 0, 0}, {1, 2.25, -3}}, 32);
    EXPECT_EQ(written("Vector<3,Float8>", 1, 32, wide), "1 2.25 -3 ");
    double dcomponents[3] = {};
    ASSERT_TRUE(getDataValue("Vector<3,Float8>", 1, 32, wide.data(), dcomponents));
    EXPECT_EQ(dcomponents[1], 2.25);

    std::vector<char> counts = elements<std::uint32_t>({9, 4294967295u}, 12);
    unsigned int count = 0;
    ASSERT_TRUE(getDataValue("Unsigned4", 1, 12, counts.data(), count));
    EXPECT_EQ(count, 4294967295u);
}

// Each reader takes its own type name only, exactly as spelled.
TEST(TrackData, TypeNamesAreMatchedExactly) {
    std::vector<char> data(64, 0x11);
    const std::string names[] = {"Unsigned4", "Float4", "Float8", "Vector<3,Float4>", "Vector<3,Float8>"};
    for (int reader = 0; reader < 5; ++reader) {
        for (int name = 0; name < 5; ++name) {
            unsigned int u = 77;
            float f = 77, fv[3] = {77, 77, 77};
            double d = 77, dv[3] = {77, 77, 77};
            bool read = false;
            switch (reader) {
                case 0: read = getDataValue(names[name], 0, 24, data.data(), u); break;
                case 1: read = getDataValue(names[name], 0, 24, data.data(), f); break;
                case 2: read = getDataValue(names[name], 0, 24, data.data(), d); break;
                case 3: read = getDataValue(names[name], 0, 24, data.data(), fv); break;
                case 4: read = getDataValue(names[name], 0, 24, data.data(), dv); break;
            }
            EXPECT_EQ(read, reader == name) << "reader " << reader << " name " << names[name];
            if (!read) {
                EXPECT_TRUE(u == 77 && f == 77 && d == 77 && fv[0] == 77 && dv[0] == 77);
            }
        }
    }
    for (const char* other : {"float4", "Float 4", "Vector<3, Float4>", ""}) {
        SCOPED_TRACE(other);
        float f = 0;
        EXPECT_FALSE(getDataValue(other, 0, 4, data.data(), f));
        EXPECT_EQ(written(other, 0, 4, data), "");
        EXPECT_EQ(printed(other, 0, 4, data), "");
        EXPECT_EQ(dataTypeFromName(other), DataType::Unknown);
    }
}

TEST(TrackData, ColumnForm) {
    std::vector<char> wide = elements<Vec3d>({{1, 2.25, -3}}, 24);
    EXPECT_EQ(printed("Vector<3,Float8>", 0, 24, wide), "          1,        2.25,          -3 ");
    std::vector<char> single = elements<float>({0.5f}, 4);
    EXPECT_EQ(printed("Float4", 0, 4, single), "         0.5 ");
    std::vector<char> count = elements<std::uint32_t>({4294967295u}, 4);
    EXPECT_EQ(printed("Unsigned4", 0, 4, count), "  4294967295 ");
    // A number wider than its field overflows it rather than being cut.
    std::vector<char> wideNumber = elements<Vec3f>({{-1.234567e-30f, 0, 0}}, 12);
    EXPECT_EQ(printed("Vector<3,Float4>", 0, 12, wideNumber), "-1.23457e-30,           0,           0 ");

    EXPECT_EQ(getDataWidth("Unsigned4"), 12);
    EXPECT_EQ(getDataWidth("Float8"), 12);
    EXPECT_EQ(getDataWidth("Vector<3,Float4>"), 36);
    EXPECT_EQ(getDataWidth("anything"), 36);
}

// The file-stream form writes the same text as the string-stream form.
TEST(TrackData, FileStreamFormMatchesStringForm) {
    const std::string path = ::testing::TempDir() + "trackdata-filestream.txt";
    std::vector<char> data = elements<Vec3f>({{1e-5f, 123456789.0f, -0.0f}}, 12);
    {
        std::ofstream out(path);
        writeData(out, "Vector<3,Float4>", 0, 12, data.data());
    }
    std::ifstream in(path);
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_EQ(text, written("Vector<3,Float4>", 0, 12, data));
    EXPECT_EQ(text, "1e-05 1.23457e+08 -0 ");
    std::remove(path.c_str());
}

}  // namespace
