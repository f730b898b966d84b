#include "PointArena.h"

#include <algorithm>
#include <cstring>

char* PointArena::beginLine(std::size_t maxText) {
    const std::size_t needed = linkSize + maxText;
    if (blocks.empty() || capacity - blockUsed.back() < needed) {
        // Blocks start small and double up to the default size, so that a
        // file of many tag groups with a few points each does not cost a
        // large block per group. A line longer than a block gets a block of
        // its own size: memory then follows the lines actually built, and
        // offsets stay small.
        const std::size_t grown = blocks.empty() ? firstBlockSize : std::min(defaultBlockSize, capacity * 2);
        const std::size_t size = std::max(grown, needed);
        blocks.emplace_back(new char[size]);
        blockUsed.push_back(0);
        capacity = size;
    }
    return blocks.back().get() + blockUsed.back() + linkSize;
}

PointArena::Handle PointArena::commitLine(std::size_t textLength) {
    std::size_t& used = blockUsed.back();
    char* record = blocks.back().get() + used;
    std::memcpy(record, &none, linkSize);
    const Handle handle = (Handle(blocks.size() - 1) << 32) | Handle(used);
    used += linkSize + textLength;
    return handle;
}

char* PointArena::recordAt(Handle record) const {
    return blocks[static_cast<std::size_t>(record >> 32)].get() + static_cast<std::size_t>(record & 0xffffffffu);
}

void PointArena::link(Handle from, Handle to) {
    std::memcpy(recordAt(from), &to, linkSize);
}

PointArena::Handle PointArena::next(Handle record) const {
    Handle following;
    std::memcpy(&following, recordAt(record), linkSize);
    return following;
}

const char* PointArena::text(Handle record) const {
    return recordAt(record) + linkSize;
}

std::size_t PointArena::lineLength(Handle record) const {
    const std::size_t block = static_cast<std::size_t>(record >> 32);
    const std::size_t start = static_cast<std::size_t>(record & 0xffffffffu) + linkSize;
    const char* begin = blocks[block].get() + start;
    const void* feed = std::memchr(begin, '\n', blockUsed[block] - start);
    return static_cast<std::size_t>(static_cast<const char*>(feed) - begin) + 1;
}
