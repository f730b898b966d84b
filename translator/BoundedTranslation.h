#ifndef TRANSLATOR_BOUNDEDTRANSLATION_H
#define TRANSLATOR_BOUNDEDTRANSLATION_H

#include <cstdint>
#include <istream>
#include <ostream>
#include <string>

#include "TextFormat.h"
#include "Translation.h"

// A text translation whose output does not fit the memory budget, as an
// external-memory transpose in three passes over a seekable input:
//
// 1. The index pass reads the property blocks and the parcel-index columns,
//    checks everything that can fail, counts the points of every path, and
//    cuts the output, path by path in output order, into partitions whose
//    text fits the budget.
// 2. The formatting pass formats each point line once, in file order, on
//    every thread, and appends it to its partition's blocks in a spill file,
//    with its place within the partition.
// 3. Each partition is read back, put in path order by those places, and
//    written. A path larger than the budget is a partition of its own, whose
//    lines are already in order: it is streamed.
//
// Memory: the budget, plus about 40 bytes per path, plus a few slices per
// thread; never the output. The output is byte for byte that of the
// translation in memory. Writes the file to `out`; errors are thrown as
// TrackError, and nothing is written before the index pass has succeeded.
void translateBounded(std::istream& input, const std::string& inputName, std::ostream& out, const TextFormat& format,
                      const TranslationOptions& options, std::ostream& diagnostics, ProgressLine& progress);

#endif
