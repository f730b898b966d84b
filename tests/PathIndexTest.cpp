#include <gtest/gtest.h>

#include <cstdint>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "PathIndex.h"

namespace {

// Points of two groups, in file order, with indexes of both ends of the range
// and a group of no point between them: the places follow the ZRP order.
TEST(PathIndex, PlacesEveryPointInOutputOrder) {
    const std::vector<std::pair<std::size_t, std::uint32_t>> points = {
        {0, 7}, {2, 4294967295u}, {0, 0}, {0, 7}, {2, 3}, {0, 100000}, {2, 4294967295u}, {0, 7}};
    PathIndex index;
    index.addGroup(1);
    for (const auto& point : points) index.count(point.first, point.second);
    index.finish();
    EXPECT_EQ(index.groupCount(), 3u);
    EXPECT_EQ(index.pathCount(), 5u);
    EXPECT_EQ(index.pointCount(), points.size());

    std::string paths;
    index.forEachPath([&](const PathIndex::Path& path) {
        paths += std::to_string(path.group) + ":" + std::to_string(path.parcel) + "@" +
                 std::to_string(path.firstPoint) + "x" + std::to_string(path.count) + " ";
    });
    EXPECT_EQ(paths, "0:0@0x1 0:7@1x3 0:100000@4x1 2:3@5x1 2:4294967295@6x2 ");

    for (int pass = 0; pass < 2; ++pass) {
        std::vector<std::uint64_t> places;
        for (const auto& point : points) places.push_back(index.place(point.first, point.second));
        EXPECT_EQ(places, (std::vector<std::uint64_t>{1, 6, 0, 2, 5, 4, 7, 3}));
        // Every point of a path has been placed: one more was never counted.
        EXPECT_THROW(index.place(0, 7), std::logic_error);
        index.restart();
    }
}

}  // namespace
