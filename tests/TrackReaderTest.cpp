// readProperties and readData: record-by-record reads for callers of their
// own; the translation itself goes through readTrackFile.

#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include <properties/Properties.h>

#include "TrackReader.h"

namespace {

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
TEST(TrackReader, ReadPropertiesStopsAtEachBlock) {
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

TEST(TrackReader, ReadDataZeroFillsAShortRead) {
    std::ifstream in = fileWith("\x01\x02\x03\x04\x05");
    std::vector<char> buffer(3, 'x');
    readData(in, 2, 4, buffer);
    EXPECT_EQ(buffer, (std::vector<char>{1, 2, 3, 4, 5, 0, 0, 0}));
}

}  // namespace
