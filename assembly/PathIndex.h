#ifndef ASSEMBLY_PATHINDEX_H
#define ASSEMBLY_PATHINDEX_H

#include <cstddef>
#include <cstdint>
#include <vector>

// The particle paths of a track in output order, counted before any point is
// placed: a first pass over the chunks counts the points of every path, and a
// second pass, over the same points in the same order, asks each point's
// place in the output. Output order is the order of the ZRP file: group by
// group, by ascending parcel index within a group, the points of a path in
// file order.
//
// Memory follows the number of paths (about 40 bytes each), never the
// number of points.
class PathIndex {
public:
    // One path as the output lists it.
    struct Path {
        std::size_t group;         // the group's position among the groups, from 0
        std::uint32_t parcel;      // the parcel index
        std::uint64_t firstPoint;  // the output index of its first point
        std::uint64_t count;       // its points
    };

    // First pass: one more point of the path (group, parcel). Groups are
    // numbered from 0 in order of first appearance; a group may have no
    // point at all.
    void count(std::size_t group, std::uint32_t parcel);
    // Makes room for a group that has no point (yet).
    void addGroup(std::size_t group);
    // Fixes the output order; count may not be called afterwards.
    void finish();

    std::size_t groupCount() const { return groups.size(); }
    std::uint64_t pathCount() const { return paths; }
    std::uint64_t pointCount() const { return points; }
    // Bytes the index holds.
    std::uint64_t memoryUsed() const;

    // Second pass: the output index of the next point of (group, parcel),
    // which the first pass counted.
    std::uint64_t place(std::size_t group, std::uint32_t parcel);
    // place() for `count` consecutive points of one group, their parcel
    // indexes read from `parcels` every `stride` bytes, into `places`. The
    // slots of points a few ahead are fetched while earlier ones are placed:
    // with many paths the table is out of the cache.
    void placeAll(std::size_t group, const char* parcels, std::size_t stride, std::size_t count, std::uint64_t* places);
    // Starts the second pass again from the beginning.
    void restart();

    // Calls visit(path) for every path, in output order.
    template <typename Visit>
    void forEachPath(Visit visit) const {
        for (std::size_t g = 0; g < groups.size(); ++g) {
            const Group& group = groups[g];
            for (const std::uint32_t s : group.order) {
                const Slot& slot = group.slots[s];
                visit(Path{g, slot.parcel, slot.firstPoint, slot.count});
            }
        }
    }

private:
    struct Slot {
        std::uint64_t count = 0;  // 0: the slot is free
        std::uint64_t firstPoint = 0;
        std::uint64_t next = 0;  // the output index of the next point placed
        std::uint32_t parcel = 0;
    };
    struct Group {
        std::vector<Slot> slots;  // a power of two of them, or none
        int shift = 64;           // 64 - log2(slots.size())
        std::size_t used = 0;
        std::vector<std::uint32_t> order;  // slot numbers by ascending parcel, once finished
    };
    static Slot& slotOf(Group& group, std::uint32_t parcel);
    static void grow(Group& group);

    std::vector<Group> groups;
    std::uint64_t paths = 0;
    std::uint64_t points = 0;
    bool finished = false;
};

#endif
