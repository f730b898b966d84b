#include "PathIndex.h"

#include <algorithm>
#include <stdexcept>

#include "DataType.h"
#include "ParcelHash.h"

namespace {

// A table of 2^32 slots holds every possible index.
constexpr std::size_t maxSlots = std::size_t(1) << 32;

std::size_t tableSizeFor(std::size_t entries) {
    std::size_t size = 4;
    while (size < maxSlots && entries * 4 > size * 3) size *= 2;
    return size;
}

}  // namespace

std::size_t PathIndex::findSlot(const Group& group, std::uint32_t parcel) {
    const std::size_t mask = group.counting.size() - 1;
    std::size_t i = parcelHome(parcel, group.shift, group.counting.size());
    while (group.counting[i].count != 0 && group.counting[i].parcel != parcel) i = (i + 1) & mask;
    return i;
}

void PathIndex::grow(Group& group) {
    const std::size_t size = group.counting.empty() ? 4 : group.counting.size() * 2;
    if (size > maxSlots) return;
    Table<CountSlot> old(size);
    old.swap(group.counting);
    countingBytes += (size - old.size()) * sizeof(CountSlot);
    group.shift = 64 - __builtin_ctzll(size);
    for (const CountSlot& slot : old)
        if (slot.count != 0) group.counting[findSlot(group, slot.parcel)] = slot;
}

void PathIndex::addGroup(std::size_t group) {
    if (finished) throw std::logic_error("PathIndex: a group added after the order was fixed");
    if (group >= groups.size()) groups.resize(group + 1);
}

void PathIndex::count(std::size_t group, std::uint32_t parcel) {
    Group& counted = groups.at(group);
    if (counted.counting.empty() || (counted.used + 1) * 4 > counted.counting.size() * 3) grow(counted);
    CountSlot& slot = counted.counting[findSlot(counted, parcel)];
    if (slot.count == 0) {
        slot.parcel = parcel;
        ++counted.used;
        ++paths;
    }
    if (slot.count == UINT32_MAX) {
        countsAbove[std::uint64_t(group) << 32 | parcel] += UINT32_MAX;
        slot.count = 0;
    }
    ++slot.count;
    ++points;
}

void PathIndex::countAll(std::size_t group, const char* parcelData, std::size_t stride, std::size_t count) {
    if (finished) throw std::logic_error("PathIndex: a point counted after the order was fixed");
    for (std::size_t i = 0; i < count; ++i) this->count(group, loadValue<std::uint32_t>(parcelData + i * stride));
}

std::uint64_t PathIndex::totalCount(std::size_t group, const CountSlot& slot) const {
    std::uint64_t total = slot.count;
    if (!countsAbove.empty()) {
        const auto above = countsAbove.find(std::uint64_t(group) << 32 | slot.parcel);
        if (above != countsAbove.end()) total += above->second;
    }
    return total;
}

void PathIndex::finish() {
    parcels.reserve(static_cast<std::size_t>(paths));
    firsts.reserve(static_cast<std::size_t>(paths) + 1);
    std::uint64_t first = 0;
    for (std::size_t g = 0; g < groups.size(); ++g) {
        Group& group = groups[g];
        // The paths of the group in place, by ascending parcel index.
        Table<CountSlot>& slots = group.counting;
        const auto end =
            std::remove_if(slots.begin(), slots.end(), [](const CountSlot& slot) { return slot.count == 0; });
        std::sort(slots.begin(), end, [](const CountSlot& a, const CountSlot& b) { return a.parcel < b.parcel; });
        group.firstPath = parcels.size();
        for (auto slot = slots.begin(); slot != end; ++slot) {
            parcels.push_back(slot->parcel);
            firsts.push_back(first);
            first += totalCount(g, *slot);
        }
        group.endPath = parcels.size();
        countingBytes -= slots.size() * sizeof(CountSlot);
        Table<CountSlot>().swap(slots);

        const std::size_t size = tableSizeFor(group.used);
        group.lookup.assign(size, 0);
        group.shift = 64 - __builtin_ctzll(size);
        for (std::uint64_t k = group.firstPath; k < group.endPath; ++k) {
            std::size_t i = parcelHome(parcels[k], group.shift, size);
            while (group.lookup[i] != 0) i = (i + 1) & (size - 1);
            group.lookup[i] = static_cast<std::uint32_t>(k - group.firstPath + 1);
        }
    }
    firsts.push_back(first);
    countsAbove.clear();
    cursors.assign(firsts.begin(), firsts.end() - 1);
    finished = true;
}

std::uint64_t PathIndex::memoryUsed() const {
    std::uint64_t lookups = 0;
    if (finished)
        for (const Group& group : groups) lookups += group.lookup.capacity() * sizeof(std::uint32_t);
    return groups.size() * sizeof(Group) + countingBytes + countsAbove.size() * 32 + lookups +
           parcels.capacity() * sizeof(std::uint32_t) +
           (firsts.capacity() + cursors.capacity()) * sizeof(std::uint64_t);
}

std::uint64_t PathIndex::peakMemory() const {
    if (finished) return memoryUsed();
    // finish() makes each group's paths and lookup as it releases its table,
    // and the cursors once every table is gone. A lookup has at most 4 + 8/3
    // slots a path.
    const std::uint64_t lookups = (4 * groups.size() + 3 * paths) * sizeof(std::uint32_t);
    const std::uint64_t paths12 = paths * (sizeof(std::uint32_t) + sizeof(std::uint64_t));
    const std::uint64_t cursorBytes = paths * sizeof(std::uint64_t);
    return memoryUsed() + lookups + paths12 + (cursorBytes > countingBytes ? cursorBytes - countingBytes : 0);
}

void PathIndex::restart() {
    cursors.assign(firsts.begin(), firsts.end() - 1);
}

bool PathIndex::placeAll(std::size_t group, const char* parcelData, std::size_t stride, std::size_t count,
                         std::uint64_t* places) {
    if (!finished || group >= groups.size()) return false;
    const Group& placed = groups[group];
    const std::size_t size = placed.lookup.size();
    if (size == 0) return count == 0;
    const std::uint32_t* const lookup = placed.lookup.data();
    const std::uint32_t* const groupParcels = parcels.data() + placed.firstPath;
    std::uint64_t* const groupCursors = cursors.data() + placed.firstPath;
    const std::uint64_t* const groupEnds = firsts.data() + placed.firstPath + 1;
    const auto parcelAt = [&](std::size_t i) { return loadValue<std::uint32_t>(parcelData + i * stride); };
    // The slots of points a few ahead are fetched while earlier ones are
    // placed: with many paths the table is out of the cache.
    constexpr std::size_t prefetchDistance = 8;
    for (std::size_t i = 0; i < count; ++i) {
        if (i + prefetchDistance < count)
            __builtin_prefetch(&lookup[parcelHome(parcelAt(i + prefetchDistance), placed.shift, size)]);
        const std::uint32_t parcel = parcelAt(i);
        std::size_t slot = parcelHome(parcel, placed.shift, size);
        for (;;) {
            const std::uint32_t entry = lookup[slot];
            if (entry == 0) return false;
            if (groupParcels[entry - 1] == parcel) break;
            slot = (slot + 1) & (size - 1);
        }
        const std::size_t k = lookup[slot] - 1;
        if (groupCursors[k] == groupEnds[k]) return false;
        places[i] = groupCursors[k]++;
    }
    return true;
}

PathIndex::Path PathIndex::path(std::uint64_t k) const {
    const auto after = std::upper_bound(groups.begin(), groups.end(), k,
                                        [](std::uint64_t path, const Group& group) { return path < group.endPath; });
    const std::size_t g = static_cast<std::size_t>(after - groups.begin());
    return Path{g, parcels[k], firsts[k], firsts[k + 1] - firsts[k]};
}

std::uint64_t PathIndex::pathOfPoint(std::uint64_t point) const {
    // The last path that begins at or before the point, and has points.
    const auto after = std::upper_bound(firsts.begin(), firsts.end() - 1, point);
    return static_cast<std::uint64_t>(after - firsts.begin()) - 1;
}
