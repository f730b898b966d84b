#ifndef ASSEMBLY_POINTARENA_H
#define ASSEMBLY_POINTARENA_H

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <vector>

// Append-only storage for the point lines of one tag group. Lines live in
// large blocks that are never moved or grown, so holding millions of lines
// costs their text plus a small header each, with no per-line allocation and
// no reallocation copies. Each record is an 8-byte word, holding a link to
// another record of the same path and the line's length, followed by the
// line's text, which ends with its line feed.
//
// Lines may also be written into an arena of their own (on another thread)
// and then adopted whole, blocks and all, without copying their text.
class PointArena {
public:
    typedef std::uint64_t Handle;  // block index in the upper 32 bits, offset below
    static constexpr Handle none = ~Handle(0);
    // Lines up to this long share their blocks; the records of an adopted
    // arena keep their offsets, so a slice of lines written apart should
    // fit one block of this size.
    static constexpr std::size_t defaultBlockSize = std::size_t(1) << 20;

    PointArena() = default;
    // An arena whose first block holds `firstBlock` bytes: the room a slice
    // of lines written apart asks for.
    explicit PointArena(std::size_t firstBlock) : nextBlockSize(firstBlock) {}

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

    // Bytes held in blocks.
    std::size_t memoryUsed() const { return held; }

    // Gives the last block back what it does not use; nothing can be added
    // to it afterwards.
    void shrinkToFit();
    // Takes over every block of `other`, which is left empty. A record of
    // `other` with handle h is now the record h + adopted(...), its link
    // (none, as lines written apart are not linked yet) unchanged.
    Handle adopt(PointArena& other);

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

    char* recordAt(Handle record) const;

    struct Release {
        void operator()(char* block) const { std::free(block); }
    };
    // Allocated with malloc, so that shrinkToFit can give memory back in place.
    std::vector<std::unique_ptr<char, Release>> blocks;
    std::vector<std::size_t> blockUsed;  // bytes in use, per block
    std::size_t capacity = 0;            // size of the last block
    std::size_t nextBlockSize = firstBlockSize;
    std::size_t held = 0;  // bytes of all blocks
};

#endif
