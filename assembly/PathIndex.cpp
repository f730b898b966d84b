#include "PathIndex.h"

#include <algorithm>
#include <stdexcept>

#include "DataType.h"
#include "ParcelHash.h"

PathIndex::Slot& PathIndex::slotOf(Group& group, std::uint32_t parcel) {
    const std::size_t mask = group.slots.size() - 1;
    std::size_t i = parcelHome(parcel, group.shift, group.slots.size());
    while (group.slots[i].count != 0 && group.slots[i].parcel != parcel) i = (i + 1) & mask;
    return group.slots[i];
}

void PathIndex::grow(Group& group) {
    // A table of 2^32 slots holds every possible index.
    constexpr std::size_t maxSlots = std::size_t(1) << 32;
    const std::size_t size = group.slots.empty() ? 16 : group.slots.size() * 2;
    if (size > maxSlots) return;
    std::vector<Slot> old(size);
    old.swap(group.slots);
    group.shift = 64 - __builtin_ctzll(size);
    for (const Slot& slot : old)
        if (slot.count != 0) slotOf(group, slot.parcel) = slot;
}

void PathIndex::addGroup(std::size_t group) {
    if (group >= groups.size()) groups.resize(group + 1);
}

void PathIndex::count(std::size_t group, std::uint32_t parcel) {
    if (finished) throw std::logic_error("PathIndex: a point counted after the order was fixed");
    addGroup(group);
    Group& counted = groups[group];
    if (counted.slots.empty() || (counted.used + 1) * 4 > counted.slots.size() * 3) grow(counted);
    Slot& slot = slotOf(counted, parcel);
    if (slot.count == 0) {
        slot.parcel = parcel;
        ++counted.used;
        ++paths;
    }
    ++slot.count;
    ++points;
}

void PathIndex::finish() {
    std::uint64_t first = 0;
    for (Group& group : groups) {
        // Parcel and slot in one word: sorted without a look at the slots,
        // which would miss the cache once per comparison.
        std::vector<std::uint64_t> keys;
        keys.reserve(group.used);
        for (std::size_t s = 0; s < group.slots.size(); ++s)
            if (group.slots[s].count != 0) keys.push_back(std::uint64_t(group.slots[s].parcel) << 32 | s);
        std::sort(keys.begin(), keys.end());
        group.order.assign(keys.size(), 0);
        for (std::size_t i = 0; i < keys.size(); ++i) group.order[i] = static_cast<std::uint32_t>(keys[i]);
        for (const std::uint32_t s : group.order) {
            Slot& slot = group.slots[s];
            slot.firstPoint = first;
            slot.next = first;
            first += slot.count;
        }
    }
    finished = true;
}

std::uint64_t PathIndex::memoryUsed() const {
    std::uint64_t bytes = groups.capacity() * sizeof(Group);
    for (const Group& group : groups)
        bytes += group.slots.capacity() * sizeof(Slot) + group.order.capacity() * sizeof(std::uint32_t);
    return bytes;
}

void PathIndex::restart() {
    for (Group& group : groups)
        for (Slot& slot : group.slots) slot.next = slot.firstPoint;
}

std::uint64_t PathIndex::place(std::size_t group, std::uint32_t parcel) {
    Group& placed = groups.at(group);
    Slot& slot = slotOf(placed, parcel);
    if (slot.count == 0 || slot.next == slot.firstPoint + slot.count)
        throw std::logic_error("PathIndex: a point placed that was not counted");
    return slot.next++;
}

void PathIndex::placeAll(std::size_t group, const char* parcels, std::size_t stride, std::size_t count,
                         std::uint64_t* places) {
    const Group& placed = groups.at(group);
    const auto parcelAt = [&](std::size_t i) { return loadValue<std::uint32_t>(parcels + i * stride); };
    constexpr std::size_t prefetchDistance = 8;
    for (std::size_t i = 0; i < count; ++i) {
        if (i + prefetchDistance < count && !placed.slots.empty())
            __builtin_prefetch(
                &placed.slots[parcelHome(parcelAt(i + prefetchDistance), placed.shift, placed.slots.size())], 1);
        places[i] = place(group, parcelAt(i));
    }
}
