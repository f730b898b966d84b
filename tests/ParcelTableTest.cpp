// Paths by parcel index: every point is found again, in its order, under its
// index, whatever the indexes are and however often the table has grown.

#include <gtest/gtest.h>

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "ParcelTable.h"
#include "PointArena.h"

namespace {

struct Pattern {
    const char* name;
    std::vector<std::uint32_t> parcels;  // one point each, in this order
};

std::vector<Pattern> patterns() {
    std::vector<Pattern> result;
    Pattern dense{"dense indexes, five points each, interleaved", {}};
    for (int round = 0; round < 5; ++round)
        for (std::uint32_t p = 0; p < 3000; ++p) dense.parcels.push_back(p);
    result.push_back(dense);

    Pattern spread{"indexes spread over the whole range, the extremes included", {0u, 4294967295u}};
    for (std::uint32_t k = 0; k < 4000; ++k) spread.parcels.push_back(k * 1073741u);
    spread.parcels.push_back(4294967295u);
    result.push_back(spread);

    return result;
}

// Half the points, then a walk along the paths (which sorts the table), then
// the other half: lookups must work in hash order, in sorted order, and after
// a sorted table has taken new points. The order of the walk is checked with
// the translation's output.
TEST(ParcelTable, EveryPathKeepsItsPointsInOrder) {
    for (const Pattern& pattern : patterns()) {
        SCOPED_TRACE(pattern.name);
        PointArena arena;
        ParcelTable table;
        std::map<std::uint32_t, std::vector<std::string>> expected;
        auto add = [&](std::size_t from, std::size_t to) {
            for (std::size_t i = from; i < to; ++i) {
                const std::uint32_t parcel = pattern.parcels[i];
                const std::string text = std::to_string(parcel) + " #" + std::to_string(i) + "\n";
                text.copy(arena.beginLine(text.size()), text.size());
                table.add(parcel, arena.commitLine(text.size()), arena);
                expected[parcel].push_back(text);
            }
        };
        auto checkLookups = [&](const char* stage) {
            ASSERT_EQ(table.size(), expected.size()) << stage;
            std::vector<PointArena::Handle> records;
            for (const auto& path : expected) {
                pathLines(arena, table.find(path.first), records);
                std::vector<std::string> lines;
                for (const PointArena::Handle record : records)
                    lines.emplace_back(arena.text(record), arena.lineLength(record));
                ASSERT_EQ(lines, path.second) << stage << ", parcel " << path.first;
            }
        };
        const std::size_t half = pattern.parcels.size() / 2;
        add(0, half);
        checkLookups("hash order");
        table.forEachPath([](std::uint32_t, const PointList&) {});
        checkLookups("sorted");
        add(half, pattern.parcels.size());
        checkLookups("points added after sorting");
    }
}

TEST(ParcelTable, IndexesWithoutPointsHaveEmptyPaths) {
    PointArena arena;
    ParcelTable table;
    EXPECT_TRUE(table.find(0).empty());
    arena.beginLine(2)[0] = '\n';
    table.add(7, arena.commitLine(1), arena);
    for (const std::uint32_t absent : {0u, 8u, 4294967295u}) EXPECT_TRUE(table.find(absent).empty()) << absent;
}

}  // namespace
