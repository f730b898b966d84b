#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "Properties.h"
#include "TrackReader.h"

namespace {

std::string fileWith(const std::string& bytes) {
    const std::string path = ::testing::TempDir() + "track_reader_test.bin";
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
    return path;
}

// Blocks are read one at a time; "{}" and the end of the input both give
// false, and the stream stands right behind each block.
TEST(TrackReader, ReadPropertiesStopsAtEachBlock) {
    const std::string path = fileWith("{'a': 1}X {} {'b': 2}");
    std::ifstream in(path, std::ios::binary);
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
    std::remove(path.c_str());
}

// The specified raw read fills what the file lacks with zeros.
TEST(TrackReader, ReadDataZeroFillsAShortRead) {
    const std::string path = fileWith("\x01\x02\x03\x04\x05");
    std::ifstream in(path, std::ios::binary);
    std::vector<char> buffer(3, 'x');
    readData(in, 2, 4, buffer);
    EXPECT_EQ(buffer, (std::vector<char>{1, 2, 3, 4, 5, 0, 0, 0}));
    std::remove(path.c_str());
}

TEST(TrackReader, UnreadableBlockGivesTheParserMessage) {
    std::istringstream in("{'a' 1}{'b'");
    Properties block;
    std::string error;
    EXPECT_EQ(readPropertyBlock(in, block, error), BlockRead::Block);
    EXPECT_EQ(readPropertyBlock(in, block, error), BlockRead::Unreadable);
    EXPECT_EQ(error, "PropertyParser scan failed: syntax error");
    EXPECT_TRUE(block.getMap()->empty());
}

}  // namespace
