#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "PathIndex.h"

namespace {

bool placeOne(PathIndex& index, std::size_t group, std::uint32_t parcel, std::uint64_t& place) {
    return index.placeAll(group, reinterpret_cast<const char*>(&parcel), sizeof parcel, 1, &place);
}

// Points of two groups, in file order, with indexes of both ends of the range
// and a group of no point between them: the places follow the ZRP order.
TEST(PathIndex, PlacesEveryPointInOutputOrder) {
    const std::vector<std::pair<std::size_t, std::uint32_t>> points = {
        {0, 7}, {2, 4294967295u}, {0, 0}, {0, 7}, {2, 3}, {0, 100000}, {2, 4294967295u}, {0, 7}};
    PathIndex index;
    for (std::size_t g = 0; g < 3; ++g) index.addGroup(g);
    for (const auto& point : points) index.count(point.first, point.second);
    index.finish();
    EXPECT_EQ(index.groupCount(), 3u);
    EXPECT_EQ(index.pathCount(), 5u);
    EXPECT_EQ(index.pointCount(), points.size());

    std::string paths;
    index.forEachPath([&](const PathIndex::Path& path) {
        paths += std::to_string(path.group) + ":" + std::to_string(path.parcel) + "@" +
                 std::to_string(path.firstPoint) + "x" + std::to_string(path.count) + " ";
        EXPECT_EQ(index.path(index.pathOfPoint(path.firstPoint + path.count - 1)).parcel, path.parcel);
    });
    EXPECT_EQ(paths, "0:0@0x1 0:7@1x3 0:100000@4x1 2:3@5x1 2:4294967295@6x2 ");

    for (int pass = 0; pass < 2; ++pass) {
        std::vector<std::uint64_t> places(points.size());
        for (std::size_t i = 0; i < points.size(); ++i)
            ASSERT_TRUE(placeOne(index, points[i].first, points[i].second, places[i]));
        EXPECT_EQ(places, (std::vector<std::uint64_t>{1, 6, 0, 2, 5, 4, 7, 3}));
        // What the first pass did not count cannot be placed: one more point
        // of a full path, a parcel it never saw, a group without points, a
        // group it never had.
        std::uint64_t place = 0;
        EXPECT_FALSE(placeOne(index, 0, 7, place));
        EXPECT_FALSE(placeOne(index, 0, 8, place));
        EXPECT_FALSE(placeOne(index, 1, 7, place));
        EXPECT_FALSE(placeOne(index, 3, 7, place));
        index.restart();
    }
}

}  // namespace
