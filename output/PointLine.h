#ifndef OUTPUT_POINTLINE_H
#define OUTPUT_POINTLINE_H

#include <cstddef>

#include "LineValue.h"

// Writes the ZRP point line of a point's values (the position's, then every
// written variable's): each value followed by one space, an absent one not
// at all, no line feed. `out` must have room for 14 characters a value plus
// elementTextRoom. Returns the new end.
//
// The translator builds every line of the ZRP file here, so this unit is the
// one a benchmark replaces to compare other ways of building the text.
char* writePointLine(char* out, const LineValue* values, std::size_t count);

#endif
