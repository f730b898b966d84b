#ifndef TESTS_ALLOCATIONCOUNTER_H
#define TESTS_ALLOCATIONCOUNTER_H

#include <cstddef>

// Number of blocks currently allocated through operator new in this test
// program: a test compares it before and after to see what a release freed.
long liveHeapBlocks();

// Bytes of those blocks, and the most there have been since the last
// resetPeakHeapBytes(): what an operation held at once.
std::size_t liveHeapBytes();
std::size_t peakHeapBytes();
void resetPeakHeapBytes();

#endif
