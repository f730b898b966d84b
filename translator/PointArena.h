#ifndef TRANSLATOR_POINTARENA_H
#define TRANSLATOR_POINTARENA_H

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

// Append-only storage for the point lines of one tag group. Lines live in
// large blocks that are never moved or grown, so holding millions of lines
// costs their text plus a small header each, with no per-line allocation and
// no reallocation copies. Each record is a link to the next record of the
// same path followed by the line's text, which ends with its line feed.
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
    static constexpr std::size_t firstBlockSize = 256;
    static constexpr std::size_t defaultBlockSize = std::size_t(1) << 20;

    char* recordAt(Handle record) const;

    std::vector<std::unique_ptr<char[]>> blocks;
    std::vector<std::size_t> blockUsed;  // bytes in use, per block
    std::size_t capacity = 0;            // size of the last block
};

#endif
