#ifndef ASSEMBLY_MEMORYBUDGET_H
#define ASSEMBLY_MEMORYBUDGET_H

#include <cstddef>
#include <cstdint>

class TrackLayout;

// The memory a whole run may hold, and the threads it runs on, worked out
// once from what was asked. Everything the run holds comes out of it: the
// data read at a time, the text each thread formats, the index of the paths
// and the tag groups, and what is left holds the points.
struct MemoryBudget {
    std::uint64_t bytes = 0;
    unsigned threads = 1;
    std::size_t pieceBytes = 0;      // the most track data read at a time
    std::size_t textPieceBytes = 0;  // the text a thread formats at a time

    // What the threads' text and the data being read take.
    std::uint64_t workingMemory() const;
    // What the first pass may give the index of the paths and the groups
    // (never 0, which would mean no limit).
    std::uint64_t indexLimit() const;
    // What is left for the points once the first pass is over.
    std::uint64_t pointRoom(const TrackLayout& layout) const;
};

// The smallest budget a run takes.
constexpr std::uint64_t minimumMemoryBudget = std::uint64_t(1) << 20;

// `bytes` 0 for the default, half the physical memory; `threads` 0 for
// one per core. A budget that cannot keep as many threads busy gets fewer:
// the output never depends on their number.
MemoryBudget resolveBudget(std::uint64_t bytes, unsigned threads);

#endif
