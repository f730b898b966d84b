#ifndef ASSEMBLY_POINTARENA_H
#define ASSEMBLY_POINTARENA_H

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

// Append-only storage for the point lines of one tag group. Lines live in
// large blocks that are never moved or grown, so holding millions of lines
// costs their text plus a small header each, with no per-line allocation and
// no reallocation copies. Each record is an 8-byte word, holding a link to
// another record of the same path and the line's length, followed by the
// line's text, which ends with its line feed.
class PointArena {
public:
    typedef std::uint64_t Handle;  // block index in the upper 32 bits, offset below
    static constexpr Handle none = ~Handle(0);

    // Returns where to write a line of at most maxText bytes. Only the latest
    // call is valid, and commitLine must follow before the next one.
    char* beginLine(std::size_t maxText);
    // Keeps the line just written (textLength bytes, ending with '\n').
    Handle commitLine(std::size_t textLength);

    // Makes `to` follow `from` in a path's chain.
    void link(Handle from, Handle to);
    Handle next(Handle record) const;
    // The line's text, up to and including its line feed.
    const char* text(Handle record) const;
    // The length of that text, line feed included.
    std::size_t lineLength(Handle record) const;

    std::size_t blockCount() const { return blocks.size(); }

private:
    static constexpr std::size_t linkSize = sizeof(Handle);
    // The record word packs the link into 48 bits (the block index in 28,
    // the offset in 20) and the text length into the low 16, so that writing
    // a line needs no search for its end; 0 stands for a length that does not
    // fit. Offsets fit because ordinary blocks are at most 2^20 bytes and a
    // block made for one long line takes no other.
    static constexpr int offsetBits = 20;
    static constexpr std::size_t maxBlocks = std::size_t(1) << 28;
    static constexpr std::uint64_t noLink = (std::uint64_t(1) << 48) - 1;
    std::uint64_t wordAt(Handle record) const;
    static constexpr std::size_t firstBlockSize = 256;
    static constexpr std::size_t defaultBlockSize = std::size_t(1) << 20;

    char* recordAt(Handle record) const;

    std::vector<std::unique_ptr<char[]>> blocks;
    std::vector<std::size_t> blockUsed;  // bytes in use, per block
    std::size_t capacity = 0;            // size of the last block
};

#endif
