#ifndef OUTPUT_POINTLINE_H
#define OUTPUT_POINTLINE_H

#include <cstddef>

#include "PointFormat.h"

// Writes the ZRP point line of point `point` (every column's element text in
// order, each value followed by one space, no line feed) at `out` and returns
// the new end. `out` must have room for the sum of maxTextLength over the
// columns plus elementTextRoom.
//
// The translator builds every line of the ZRP file here, so this unit is the
// one a benchmark replaces to compare other ways of building the text.
char* writePointLine(char* out, const LineColumn* columns, std::size_t columnCount, std::size_t point);

#endif
