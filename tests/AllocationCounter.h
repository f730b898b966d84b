#ifndef TESTS_ALLOCATIONCOUNTER_H
#define TESTS_ALLOCATIONCOUNTER_H

// Number of blocks currently allocated through operator new in this test
// program: a test compares it before and after to see what a release freed.
long liveHeapBlocks();

#endif
