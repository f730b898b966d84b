#ifndef ASSEMBLY_PARCELHASH_H
#define ASSEMBLY_PARCELHASH_H

#include <cstddef>
#include <cstdint>

// The home slot of a parcel index in an open-addressing table of
// 2^(64 - shift) slots. Runs of consecutive indexes, common within a chunk,
// keep consecutive slots, so that a chunk's points touch the table in a few
// cache lines instead of one each. The runs themselves are placed by
// Fibonacci hashing, which spreads any pattern of indexes evenly, so that no
// run shares its home with more than a few others.
inline std::size_t parcelHome(std::uint32_t parcel, int shift, std::size_t slotCount) {
    constexpr int runBits = 4;  // runs of 16 consecutive indexes
    constexpr std::uint32_t runMask = (1u << runBits) - 1;
    const std::uint64_t run = std::uint64_t(parcel >> runBits) * 0x9e3779b97f4a7c15u;
    return static_cast<std::size_t>(((run >> shift) << runBits | (parcel & runMask)) & (slotCount - 1));
}

#endif
