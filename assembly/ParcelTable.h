#ifndef ASSEMBLY_PARCELTABLE_H
#define ASSEMBLY_PARCELTABLE_H

#include <cstddef>
#include <cstdint>
#include <unordered_map>
#include <vector>

#include "PointArena.h"

// The point lines of a path: `count` records of its group's arena, the last
// of them `last`, each linked to the one added before it.
struct PointList {
    PointArena::Handle last = PointArena::none;
    std::uint64_t count = 0;

    bool empty() const { return count == 0; }
};

// The records of a path in the order they were added, into `lines` (whose
// earlier content is replaced; reusing one vector saves an allocation a path).
void pathLines(const PointArena& arena, const PointList& points, std::vector<PointArena::Handle>& lines);

// The paths of one tag group by parcel index. Parcel indexes are any 32-bit
// values, so the paths live in an open-addressing hash table, 16 bytes a
// slot, at most three quarters full: with one point per parcel it costs
// little more than the points' own links. Each line links back to the one
// before it, so a slot holds the last line only, and adding a point writes
// the new line and the slot without reading any older line.
class ParcelTable {
public:
    // Appends a committed line of `arena` to the path of `parcel`.
    void add(std::uint32_t parcel, PointArena::Handle line, PointArena& arena);
    // The path of `parcel`; empty when no point reached it.
    PointList find(std::uint32_t parcel) const;
    // Asks the processor to fetch the slot where `parcel` belongs, ahead of
    // an add. Only a hint: nothing changes.
    void prefetch(std::uint32_t parcel) const {
        if (!slots.empty() && !sorted) __builtin_prefetch(&slots[home(parcel)], 1);
    }
    // Number of paths.
    std::size_t size() const { return used; }
    // Bytes the table holds.
    std::size_t memoryUsed() const { return slots.capacity() * sizeof(Slot) + countHigh.size() * 32; }

    // Calls visit(parcel, points) for every path, by ascending parcel index:
    // the order in which the paths are written. The slots are sorted in
    // place for it (a later add puts them back in hash order), so that the
    // paths are then read in sequence, with no memory beyond the table's.
    template <typename Visit>
    void forEachPath(Visit visit) {
        sortByParcel();
        for (std::size_t i = 0; i < used; ++i) visit(slots[i].parcel, listOf(slots[i]));
    }
    // The same in pieces, for several threads: once sortByParcel has run,
    // path i (from 0, by ascending parcel index) is parcelAt(i), pathAt(i),
    // and nothing changes the table while they are read.
    void sortByParcel();
    std::uint32_t parcelAt(std::size_t i) const { return slots[i].parcel; }
    PointList pathAt(std::size_t i) const { return listOf(slots[i]); }

private:
    struct Slot {
        PointArena::Handle last = PointArena::none;  // none: the slot is free
        std::uint32_t parcel = 0;
        std::uint32_t count = 0;  // low 32 bits of the path's point count
    };
    // A table of 2^32 slots holds every possible index.
    static constexpr std::size_t maxSlots = std::size_t(1) << 32;

    void rehash(std::size_t size);  // back to hash order, in `size` slots
    std::size_t home(std::uint32_t parcel) const;
    std::size_t slotOf(std::uint32_t parcel) const;  // its slot, or a free one where it belongs
    void grow();
    PointList listOf(const Slot& slot) const;

    std::vector<Slot> slots;  // a power of two of them, or none yet
    int shift = 64;           // 64 - log2(slots.size())
    std::size_t used = 0;
    // The first `used` slots hold the paths sorted by parcel index instead of
    // in hash order.
    bool sorted = false;
    // Counts beyond 32 bits, in units of 2^32, for the paths that reach them.
    std::unordered_map<std::uint32_t, std::uint64_t> countHigh;
};

#endif
