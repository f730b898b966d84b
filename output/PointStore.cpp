#include "PointStore.h"

#include <algorithm>
#include <cstring>
#include <numeric>

#include "ChunkSource.h"

namespace {

// A block in the spill: the offset of the partition's block before it (or
// none) and its length, then its records.
struct BlockHeader {
    std::uint64_t previous;
    std::uint32_t bytes;
};
constexpr std::size_t headerBytes = sizeof(std::uint64_t) + sizeof(std::uint32_t);

// Rows and blocks have this much room beyond their end, so that a short row
// is copied in one fixed-size move, the library's call for a few bytes
// costing more than the bytes.
constexpr std::size_t slack = 64;

void copyRow(char* to, const char* from, std::size_t bytes) {
    if (bytes <= slack)
        std::memcpy(to, from, slack);
    else
        std::memcpy(to, from, bytes);
}

// Copies the values of one array of a record: a few sizes are most of them.
void copyValues(char* to, const char* from, std::size_t bytes) {
    switch (bytes) {
        case 4: std::memcpy(to, from, 4); return;
        case 8: std::memcpy(to, from, 8); return;
        case 12: std::memcpy(to, from, 12); return;
        case 24: std::memcpy(to, from, 24); return;
        default: std::memcpy(to, from, bytes); return;
    }
}

}  // namespace

void PointStore::fill(TrackLayout& layout, const std::function<std::istream&()>& reread, const PlaceOptions& options,
                      const std::function<void(unsigned round)>& beginning) {
    for (unsigned round = 0; round < rounds(); ++round) {
        if (beginning) beginning(round);
        beginRound(round);
        ChunkSource source(reread());
        place(source, layout, *this, options);
        finishPlacing();
    }
}

void PointStore::forEachWindow(const std::function<void(const PointWindow&)>& visit) {
    for (std::size_t k = 0; k < windowCount(); ++k) visit(loadWindow(k));
}

MemoryStore::MemoryStore(const TrackLayout& layout, WorkQueue* queue)
    : window(layout, layout.index.pointCount()), queue(queue) {
    window.setRange(0, layout.index.pointCount());
}

std::vector<std::uint64_t> partitionStarts(const PathIndex& index, std::uint64_t windowPoints, bool wholePaths) {
    std::vector<std::uint64_t> starts;
    const std::uint64_t points = index.pointCount();
    if (!wholePaths) {
        for (std::uint64_t first = 0; first < points; first += windowPoints) starts.push_back(first);
        return starts;
    }
    std::uint64_t used = windowPoints;
    index.forEachPath([&](const PathIndex::Path& path) {
        if (used + path.count > windowPoints) {
            starts.push_back(path.firstPoint);
            used = 0;
        }
        used += path.count;
    });
    return starts;
}

SpillStore::SpillStore(const TrackLayout& layout, std::vector<std::uint64_t> starts, std::uint64_t windowPoints,
                       std::size_t blockBytes, std::uint64_t pendingRoom)
    : layout(layout),
      blockBytes(blockBytes),
      recordBytes(sizeof(std::uint32_t) + layout.pointBytes()),
      spill("points"),
      window(layout, windowPoints) {
    const std::uint64_t points = layout.index.pointCount();
    for (std::size_t p = 0; p < starts.size(); ++p)
        partitions.push_back({starts[p], p + 1 < starts.size() ? starts[p + 1] : points, nullptr, 0, none});
    // A row: each array's values, then its kinds; the same order as a window's.
    std::size_t at = 0;
    for (const LayoutArray& array : layout.arrays()) {
        ArrayTarget target;
        target.values = nullptr;
        rowOffsets.push_back(at);
        at += array.rowBytes();
        if (array.tagged) at += array.components;
        rowTargets.push_back(target);
    }
    perRound = static_cast<std::size_t>(std::max<std::uint64_t>(1, pendingRoom / blockBytes));
    roundCount = static_cast<unsigned>((partitions.size() + perRound - 1) / perRound);
    roundCount = std::max(roundCount, 1u);
    beginRound(0);
}

void SpillStore::beginRound(unsigned round) {
    roundFirst = std::min(partitions.size(), std::size_t(round) * perRound);
    roundEnd = std::min(partitions.size(), roundFirst + perRound);
    last = roundFirst;
}

std::size_t SpillStore::partitionOf(std::uint64_t point) {
    // Consecutive points often share a partition.
    if (last < partitions.size() && partitions[last].first <= point && point < partitions[last].end) return last;
    const auto after = std::upper_bound(partitions.begin(), partitions.end(), point,
                                        [](std::uint64_t p, const Partition& part) { return p < part.first; });
    last = static_cast<std::size_t>(after - partitions.begin()) - 1;
    return last;
}

void SpillStore::take(const PlacedPoints& points) {
    // The piece's points as rows, in their order, then each row to the
    // block of its partition.
    rows.resize(points.count * layout.pointBytes() + slack);
    rowNumbers.resize(points.count);
    std::iota(rowNumbers.begin(), rowNumbers.end(), std::uint64_t(0));
    const std::size_t rowBytes = layout.pointBytes();
    for (std::size_t a = 0; a < rowTargets.size(); ++a) {
        const LayoutArray& array = layout.arrays()[a];
        rowTargets[a].values = rows.data() + rowOffsets[a];
        rowTargets[a].pointStride = rowBytes;
        rowTargets[a].kinds =
            array.tagged ? reinterpret_cast<std::uint8_t*>(rowTargets[a].values) + array.rowBytes() : nullptr;
        rowTargets[a].kindStride = rowBytes;
    }
    const PlacedPoints asRows{points.count, rowNumbers.data(), points.columns, points.absent};
    scatterPoints(layout, asRows, 0, points.count, 0, points.count, rowTargets);

    for (std::size_t i = 0; i < points.count; ++i) {
        const std::size_t p = partitionOf(points.places[i]);
        if (p < roundFirst || p >= roundEnd) continue;
        Partition& partition = partitions[p];
        if (!partition.pending) {
            partition.pending.reset(new char[blockBytes + slack]);
            partition.used = headerBytes;
        }
        const std::uint32_t place = static_cast<std::uint32_t>(points.places[i] - partition.first);
        char* const record = partition.pending.get() + partition.used;
        std::memcpy(record, &place, sizeof place);
        copyRow(record + sizeof place, rows.data() + i * rowBytes, rowBytes);
        partition.used += recordBytes;
        if (partition.used + recordBytes > blockBytes) flush(partition);
    }
}

void SpillStore::flush(Partition& partition) {
    if (!partition.pending || partition.used <= headerBytes) return;
    const BlockHeader header{partition.lastBlock, static_cast<std::uint32_t>(partition.used)};
    std::memcpy(partition.pending.get(), &header.previous, sizeof header.previous);
    std::memcpy(partition.pending.get() + sizeof header.previous, &header.bytes, sizeof header.bytes);
    partition.lastBlock = spill.append(partition.pending.get(), partition.used);
    partition.used = headerBytes;
}

void SpillStore::finishPlacing() {
    for (std::size_t p = roundFirst; p < roundEnd; ++p) {
        flush(partitions[p]);
        partitions[p].pending.reset();
    }
}

void SpillStore::load(const Partition& partition) {
    window.setRange(partition.first, partition.end - partition.first);
    const std::vector<LayoutArray>& arrays = layout.arrays();
    // The window's buffers are not cleared: every point of the partition
    // has a record, which writes all of its values.
    std::vector<char> block(blockBytes);
    for (std::uint64_t offset = partition.lastBlock; offset != none;) {
        char header[headerBytes];
        spill.read(offset, header, headerBytes);
        BlockHeader read;
        std::memcpy(&read.previous, header, sizeof read.previous);
        std::memcpy(&read.bytes, header + sizeof read.previous, sizeof read.bytes);
        block.resize(read.bytes);
        spill.read(offset + headerBytes, block.data(), read.bytes - headerBytes);
        for (std::size_t at = 0; at + recordBytes <= read.bytes - headerBytes; at += recordBytes) {
            std::uint32_t place;
            std::memcpy(&place, block.data() + at, sizeof place);
            const char* row = block.data() + at + sizeof place;
            for (std::size_t a = 0; a < arrays.size(); ++a) {
                const ArrayTarget& target = window.arrays()[a];
                const std::size_t bytes = target.pointStride;
                copyValues(target.values + place * target.pointStride, row + rowOffsets[a], bytes);
                if (target.kinds != nullptr)
                    std::memcpy(target.kinds + place * target.kindStride, row + rowOffsets[a] + bytes,
                                arrays[a].components);
            }
        }
        offset = read.previous;
    }
}

const PointWindow& SpillStore::loadWindow(std::size_t k) {
    load(partitions.at(k));
    return window;
}

std::unique_ptr<PointStore> makeStore(const TrackLayout& layout, std::uint64_t room, WorkQueue* queue,
                                      bool wholePaths) {
    const std::uint64_t points = layout.index.pointCount();
    const std::uint64_t pointBytes = std::max<std::size_t>(1, layout.pointBytes());
    if (points * pointBytes <= room) return std::make_unique<MemoryStore>(layout, queue);

    // Half the room holds a window; the rest a block being read back, and
    // while placing, the blocks of the partitions being filled.
    std::uint64_t windowPoints = std::max<std::uint64_t>(1, room / 2 / pointBytes);
    if (wholePaths)
        layout.index.forEachPath(
            [&](const PathIndex::Path& path) { windowPoints = std::max(windowPoints, path.count); });
    std::vector<std::uint64_t> starts = partitionStarts(layout.index, windowPoints, wholePaths);
    const std::uint64_t recordBytes = sizeof(std::uint32_t) + pointBytes;
    // A block is a page and a few records at the least, or writing it would
    // cost more than the data; where the blocks of every partition do not
    // fit at once, the second pass runs in rounds.
    const std::uint64_t smallest = std::max<std::uint64_t>(4096, 12 + 8 * recordBytes);
    const std::uint64_t largest = std::max(smallest, std::min<std::uint64_t>(std::uint64_t(1) << 20, room / 2));
    const std::uint64_t block = std::clamp<std::uint64_t>(room / starts.size(), smallest, largest);
    return std::make_unique<SpillStore>(layout, std::move(starts), windowPoints, static_cast<std::size_t>(block), room);
}
