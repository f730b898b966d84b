#include "AllocationCounter.h"

#include <cstdlib>
#include <new>

// Replacing the global operators in their own unit keeps the compiler from
// pairing an inlined malloc with a delete expression in the tests.
namespace {
long liveBlocks = 0;
}

long liveHeapBlocks() {
    return liveBlocks;
}

void* operator new(std::size_t size) {
    void* block = std::malloc(size ? size : 1);
    if (!block) throw std::bad_alloc();
    ++liveBlocks;
    return block;
}

void operator delete(void* block) noexcept {
    if (block) --liveBlocks;
    std::free(block);
}

void operator delete(void* block, std::size_t) noexcept {
    operator delete(block);
}
