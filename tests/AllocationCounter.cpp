#include "AllocationCounter.h"

#include <malloc.h>

#include <cstdlib>
#include <new>

// Replacing the global operators in their own unit keeps the compiler from
// pairing an inlined malloc with a delete expression in the tests.
namespace {
long liveBlocks = 0;
// Counted by the blocks' usable sizes, which delete can ask for as well.
std::size_t liveBytes = 0;
std::size_t peakBytes = 0;
}  // namespace

long liveHeapBlocks() {
    return liveBlocks;
}

std::size_t liveHeapBytes() {
    return liveBytes;
}

std::size_t peakHeapBytes() {
    return peakBytes;
}

void resetPeakHeapBytes() {
    peakBytes = liveBytes;
}

void* operator new(std::size_t size) {
    void* block = std::malloc(size ? size : 1);
    if (!block) throw std::bad_alloc();
    ++liveBlocks;
    liveBytes += malloc_usable_size(block);
    if (liveBytes > peakBytes) peakBytes = liveBytes;
    return block;
}

void operator delete(void* block) noexcept {
    if (block) {
        --liveBlocks;
        liveBytes -= malloc_usable_size(block);
    }
    std::free(block);
}

void operator delete(void* block, std::size_t) noexcept {
    operator delete(block);
}
