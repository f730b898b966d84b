#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <properties/Properties.h>

#include "DataType.h"
#include "TrackData.h"
#include "TrackWriter.h"

namespace {

std::string written(const std::string& type, int index, int stride, const VariableData& data) {
    std::vector<char> bytes = data.bytes();
    std::stringstream out;
    writeData(out, type, index, stride, bytes.data());
    return out.str();
}

// Element 1 of each buffer, so that the stride decides where it lies; the
// number forms themselves are the number formatter's.
TEST(TrackData, PointLineTextOfEachType) {
    struct Case {
        const char* type;
        int stride;
        VariableData data;
        const char* text;
    };
    const Case cases[] = {
        {"Unsigned4", 12, VariableData(12).unsigned4(4294967295u).unsigned4(0), "0 "},
        // A single is widened: the float nearest 0.1 still reads as 0.1.
        {"Float4", 4, VariableData().float4(1).float4(0.1f), "0.1 "},
        {"Float8", 16, VariableData(16).float8(1).float8(-1e-300), "-1e-300 "},
        {"Vector<3,Float4>", 16, VariableData(16).vector3Float4(1, 2, 3).vector3Float4(-4, 5.5f, 1e-5f),
         "-4 5.5 1e-05 "},
        {"Vector<3,Float8>", 32, VariableData(32).vector3Float8(1, 2, 3).vector3Float8(-0.0, 2.25, 1e300),
         "-0 2.25 1e+300 "},
    };
    for (const Case& c : cases) EXPECT_EQ(written(c.type, 1, c.stride, c.data), c.text) << c.type << " " << c.stride;
}

// Each reader takes its own type name only, exactly as spelled, and leaves
// its target alone otherwise.
TEST(TrackData, GetDataValueAtAStride) {
    const VariableData counts = VariableData(12).unsigned4(9).unsigned4(4294967295u);
    std::vector<char> bytes = counts.bytes();
    unsigned int count = 0;
    EXPECT_TRUE(getDataValue("Unsigned4", 1, 12, bytes.data(), count));
    EXPECT_EQ(count, 4294967295u);
    std::vector<char> vectors = VariableData(32).vector3Float8(0, 0, 0).vector3Float8(1, 2.25, -3).bytes();
    double components[3] = {};
    EXPECT_TRUE(getDataValue("Vector<3,Float8>", 1, 32, vectors.data(), components));
    EXPECT_EQ(components[1], 2.25);
    EXPECT_EQ(components[2], -3.0);

    for (const char* other : {"unsigned4", "Unsigned 4", "Vector<3, Float8>", ""}) {
        SCOPED_TRACE(other);
        unsigned int untouched = 5;
        EXPECT_FALSE(getDataValue(other, 1, 12, bytes.data(), untouched));
        EXPECT_EQ(untouched, 5u);
        EXPECT_EQ(dataTypeFromName(other), DataType::Unknown);
        EXPECT_EQ(written(other, 0, 12, counts), "");
    }
}

// A stream on a file of `bytes`. The file is removed at once: the open
// stream keeps its data.
std::ifstream fileWith(const std::string& bytes) {
    const std::string path = ::testing::TempDir() + "track_reader_test_" + std::to_string(getpid());
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
    std::ifstream in(path, std::ios::binary);
    std::remove(path.c_str());
    return in;
}

// "{}" and the end of the input both give false, and the stream stands right
// behind each block.
TEST(TrackData, ReadPropertiesStopsAtEachBlock) {
    std::ifstream in = fileWith("{'a': 1}X {} {'b': 2}");
    Properties block;
    ASSERT_TRUE(readProperties(in, block));
    EXPECT_EQ(block.getInt("a"), 1);
    EXPECT_EQ(in.get(), 'X');
    EXPECT_FALSE(readProperties(in, block));
    ASSERT_TRUE(readProperties(in, block));
    EXPECT_FALSE(block.hasName("a"));
    EXPECT_EQ(block.getInt("b"), 2);
    EXPECT_FALSE(readProperties(in, block));
    EXPECT_TRUE(block.getMap()->empty());
}

TEST(TrackData, ReadDataZeroFillsAShortRead) {
    std::ifstream in = fileWith("\x01\x02\x03\x04\x05");
    std::vector<char> buffer(3, 'x');
    readData(in, 2, 4, buffer);
    EXPECT_EQ(buffer, (std::vector<char>{1, 2, 3, 4, 5, 0, 0, 0}));
}

}  // namespace
