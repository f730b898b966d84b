#ifndef OUTPUT_ELEMENTTEXT_H
#define OUTPUT_ELEMENTTEXT_H

#include <cstddef>

#include "LineValue.h"

// The text form of one value on a ZRP point line: %.6g of the value (a
// Float4 widened to double), in decimal for Unsigned4, followed by one space.

// Most characters appendValueText writes for one value: "-1.23457e+308 ".
constexpr std::size_t maxValueText = 14;
// Room the output buffer must have at `out` when appendValueText is called:
// the number formatter may use up to 32 bytes of scratch behind each value.
constexpr std::size_t elementTextRoom = 64;

// Most characters appendElementText writes for one element (a vector of three
// "-1.23457e+308 " components).
constexpr std::size_t maxElementText = 3 * maxValueText;

// Appends the text of the element at `element` (three values for a vector
// type) and returns the new end. Unknown writes nothing.
char* appendElementText(char* out, DataType type, const char* element);

// Appends the text of the value and returns the new end; an absent value
// writes nothing.
char* appendValueText(char* out, const LineValue& value);

#endif
