#include "ParcelTable.h"

#include <algorithm>

#include "ParcelHash.h"

std::size_t ParcelTable::home(std::uint32_t parcel) const {
    return parcelHome(parcel, shift, slots.size());
}

std::size_t ParcelTable::slotOf(std::uint32_t parcel) const {
    const std::size_t mask = slots.size() - 1;
    std::size_t i = home(parcel);
    while (slots[i].last != PointArena::none && slots[i].parcel != parcel) i = (i + 1) & mask;
    return i;
}

void ParcelTable::rehash(std::size_t size) {
    std::vector<Slot> old(size);
    old.swap(slots);
    shift = 64 - __builtin_ctzll(size);
    for (const Slot& slot : old)
        if (slot.last != PointArena::none) slots[slotOf(slot.parcel)] = slot;
    sorted = false;
}

void ParcelTable::grow() {
    rehash(slots.empty() ? 16 : slots.size() * 2);
}

void ParcelTable::sortByParcel() {
    if (sorted || slots.empty()) return;
    // Both steps work in place: the table is the largest structure after
    // the text itself.
    const auto end =
        std::remove_if(slots.begin(), slots.end(), [](const Slot& slot) { return slot.last == PointArena::none; });
    std::fill(end, slots.end(), Slot());
    std::sort(slots.begin(), slots.begin() + static_cast<std::ptrdiff_t>(used),
              [](const Slot& a, const Slot& b) { return a.parcel < b.parcel; });
    sorted = true;
}

void ParcelTable::add(std::uint32_t parcel, PointArena::Handle line, PointArena& arena) {
    if (sorted) rehash(slots.size());
    if (slots.empty() || ((used + 1) * 4 > slots.size() * 3 && slots.size() < maxSlots)) grow();
    Slot& slot = slots[slotOf(parcel)];
    if (slot.last == PointArena::none) {
        slot.parcel = parcel;
        ++used;
    } else {
        arena.link(line, slot.last);
    }
    slot.last = line;
    if (++slot.count == 0) ++countHigh[parcel];
}

PointList ParcelTable::listOf(const Slot& slot) const {
    PointList list;
    list.last = slot.last;
    list.count = slot.count;
    if (!countHigh.empty()) {
        const auto high = countHigh.find(slot.parcel);
        if (high != countHigh.end()) list.count += high->second << 32;
    }
    return list;
}

PointList ParcelTable::find(std::uint32_t parcel) const {
    if (sorted) {
        const auto end = slots.begin() + static_cast<std::ptrdiff_t>(used);
        const auto found = std::lower_bound(slots.begin(), end, parcel,
                                            [](const Slot& slot, std::uint32_t value) { return slot.parcel < value; });
        return found != end && found->parcel == parcel ? listOf(*found) : PointList();
    }
    if (slots.empty()) return PointList();
    const Slot& slot = slots[slotOf(parcel)];
    return slot.last == PointArena::none ? PointList() : listOf(slot);
}

void pathLines(const PointArena& arena, const PointList& points, std::vector<PointArena::Handle>& lines) {
    lines.resize(static_cast<std::size_t>(points.count));
    PointArena::Handle record = points.last;
    for (std::size_t k = lines.size(); k > 0; --k) {
        lines[k - 1] = record;
        record = arena.next(record);
    }
}
