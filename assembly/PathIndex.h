#ifndef ASSEMBLY_PATHINDEX_H
#define ASSEMBLY_PATHINDEX_H

#include <cstddef>
#include <cstdint>
#include <deque>
#include <unordered_map>
#include <vector>

#include "LargeBuffer.h"

// The particle paths of a track in output order, counted before any point is
// placed: a first pass over the chunks counts the points of every path, and a
// second pass, over the same points in the same order, asks each point's
// place in the output. Output order is the order of the ZRP file: group by
// group, by ascending parcel index within a group, the points of a path in
// file order.
//
// Memory follows the number of paths, never the number of points: while
// counting, 8 bytes a slot of a hash table at most three quarters full; once
// finished, 20 bytes a path and a lookup table of 4 bytes a slot.
class PathIndex {
public:
    // One path as the output lists it.
    struct Path {
        std::size_t group;         // the group's position among the groups, from 0
        std::uint32_t parcel;      // the parcel index
        std::uint64_t firstPoint;  // the output index of its first point
        std::uint64_t count;       // its points
    };

    // First pass: makes room for a group, which may have no point at all.
    // Groups are numbered from 0 in order of first appearance.
    void addGroup(std::size_t group);
    // One more point of the path (group, parcel); the group has been added.
    void count(std::size_t group, std::uint32_t parcel);
    // count() for `count` points of one group, their parcel indexes read
    // from `parcels` every `stride` bytes.
    void countAll(std::size_t group, const char* parcels, std::size_t stride, std::size_t count);
    // Fixes the output order; count may not be called afterwards.
    void finish();

    std::size_t groupCount() const { return groups.size(); }
    std::uint64_t pathCount() const { return paths; }
    std::uint64_t pointCount() const { return points; }
    // Bytes the index holds now.
    std::uint64_t memoryUsed() const;
    // The most it will hold, at most: while counting, with what finish()
    // adds on top. Cheap enough to ask after every few points.
    std::uint64_t peakMemory() const;

    // Second pass: the output index of each of `count` points of one group,
    // their parcel indexes read as by countAll, into `places`. False, with
    // `places` incomplete, when a point is one the first pass did not count:
    // the input has changed.
    bool placeAll(std::size_t group, const char* parcels, std::size_t stride, std::size_t count, std::uint64_t* places);
    // Starts the second pass again from the beginning.
    void restart();

    // Path `k` (from 0) in output order.
    Path path(std::uint64_t k) const;
    // The path that holds output point `point`.
    std::uint64_t pathOfPoint(std::uint64_t point) const;
    // Calls visit(path) for every path, in output order.
    template <typename Visit>
    void forEachPath(Visit visit) const {
        for (std::size_t g = 0; g < groups.size(); ++g)
            for (std::uint64_t k = groups[g].firstPath; k < groups[g].endPath; ++k)
                visit(Path{g, parcels[k], firsts[k], firsts[k + 1] - firsts[k]});
    }

private:
    // A path while counting: its parcel and the low part of its count, never
    // 0 in a slot in use; what does not fit is in `countsAbove`.
    struct CountSlot {
        std::uint32_t parcel = 0;
        std::uint32_t count = 0;
    };
    // Tables of millions of paths, in huge pages: in 4 KiB pages their
    // first touch costs more than filling them.
    template <typename T>
    using Table = std::vector<T, LargeAllocator<T>>;
    struct Group {
        Table<CountSlot> counting;  // a power of two of them, or none; released by finish()
        std::size_t used = 0;
        int shift = 64;               // 64 - log2 of the table's size
        Table<std::uint32_t> lookup;  // once finished: the path from firstPath, plus 1; 0 free
        std::uint64_t firstPath = 0;
        std::uint64_t endPath = 0;
    };
    static std::size_t findSlot(const Group& group, std::uint32_t parcel);
    void grow(Group& group);
    std::uint64_t totalCount(std::size_t group, const CountSlot& slot) const;

    std::deque<Group> groups;  // a deque: a few hundred thousand groups cost no spare capacity
    std::uint64_t paths = 0;
    std::uint64_t points = 0;
    bool finished = false;
    std::uint64_t countingBytes = 0;  // the counting tables' slots, kept as they grow
    // Counts of paths beyond 2^32 - 1 points, by group << 32 | parcel.
    std::unordered_map<std::uint64_t, std::uint64_t> countsAbove;
    // By path, in output order, once finished.
    Table<std::uint32_t> parcels;
    Table<std::uint64_t> firsts;   // one more: the end of the last path
    Table<std::uint64_t> cursors;  // the next point placed
};

#endif
