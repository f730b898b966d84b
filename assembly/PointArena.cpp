#include "PointArena.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <stdexcept>

char* PointArena::beginLine(std::size_t maxText) {
    const std::size_t needed = linkSize + maxText;
    if (blocks.empty() || capacity - blockUsed.back() < needed) {
        // Blocks start small and double up to the default size, so that a
        // file of many tag groups with a few points each does not cost a
        // large block per group. A line longer than a block gets a block of
        // its own size: memory then follows the lines actually built, and
        // offsets stay small.
        const std::size_t grown = blocks.empty() ? nextBlockSize : std::min(defaultBlockSize, capacity * 2);
        const std::size_t size = std::max(grown, needed);
        if (blocks.size() == maxBlocks) throw std::length_error("point arena: too many blocks");
        char* block = static_cast<char*>(std::malloc(size));
        if (block == nullptr) throw std::bad_alloc();
        blocks.emplace_back(block);
        blockUsed.push_back(0);
        capacity = size;
        held += size;
    }
    return blocks.back().get() + blockUsed.back() + linkSize;
}

PointArena::Handle PointArena::commitLine(std::size_t textLength) {
    std::size_t& used = blockUsed.back();
    char* record = blocks.back().get() + used;
    const std::uint64_t word = noLink << 16 | (textLength <= 0xffff ? textLength : 0);
    std::memcpy(record, &word, linkSize);
    const Handle handle = (Handle(blocks.size() - 1) << 32) | Handle(used);
    used += linkSize + textLength;
    // A block made larger than the default for one long line keeps that line
    // alone, so that every record offset fits the link's 20 bits.
    if (capacity > defaultBlockSize) used = capacity;
    return handle;
}

char* PointArena::recordAt(Handle record) const {
    return blocks[static_cast<std::size_t>(record >> 32)].get() + static_cast<std::size_t>(record & 0xffffffffu);
}

std::uint64_t PointArena::wordAt(Handle record) const {
    std::uint64_t word;
    std::memcpy(&word, recordAt(record), linkSize);
    return word;
}

void PointArena::link(Handle from, Handle to) {
    const std::uint64_t packed =
        to == none ? noLink : (to >> 32) << offsetBits | (to & ((std::uint64_t(1) << offsetBits) - 1));
    const std::uint64_t word = packed << 16 | (wordAt(from) & 0xffff);
    std::memcpy(recordAt(from), &word, linkSize);
}

PointArena::Handle PointArena::next(Handle record) const {
    const std::uint64_t packed = wordAt(record) >> 16;
    if (packed == noLink) return none;
    return (packed >> offsetBits) << 32 | (packed & ((std::uint64_t(1) << offsetBits) - 1));
}

const char* PointArena::text(Handle record) const {
    return recordAt(record) + linkSize;
}

std::size_t PointArena::lineLength(Handle record) const {
    const std::size_t known = static_cast<std::size_t>(wordAt(record) & 0xffff);
    if (known != 0) return known;
    const std::size_t block = static_cast<std::size_t>(record >> 32);
    const std::size_t start = static_cast<std::size_t>(record & 0xffffffffu) + linkSize;
    const char* begin = blocks[block].get() + start;
    const void* feed = std::memchr(begin, '\n', blockUsed[block] - start);
    return static_cast<std::size_t>(static_cast<const char*>(feed) - begin) + 1;
}

void PointArena::shrinkToFit() {
    if (blocks.empty() || blockUsed.back() == capacity || blockUsed.back() == 0) return;
    // Shrinking never moves the block with glibc; if it would fail, the
    // block simply stays as large as it was.
    char* shrunk = static_cast<char*>(std::realloc(blocks.back().get(), blockUsed.back()));
    if (shrunk == nullptr) return;
    blocks.back().release();
    blocks.back().reset(shrunk);
    held -= capacity - blockUsed.back();
    capacity = blockUsed.back();
}

PointArena::Handle PointArena::adopt(PointArena& other) {
    const Handle base = Handle(blocks.size()) << 32;
    if (blocks.size() + other.blocks.size() > maxBlocks) throw std::length_error("point arena: too many blocks");
    for (auto& block : other.blocks) blocks.push_back(std::move(block));
    blockUsed.insert(blockUsed.end(), other.blockUsed.begin(), other.blockUsed.end());
    held += other.held;
    // Adopted blocks take no further lines: the next line starts a block.
    capacity = blockUsed.empty() ? 0 : blockUsed.back();
    other.blocks.clear();
    other.blockUsed.clear();
    other.capacity = 0;
    other.held = 0;
    return base;
}
