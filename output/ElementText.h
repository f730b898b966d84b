#ifndef OUTPUT_ELEMENTTEXT_H
#define OUTPUT_ELEMENTTEXT_H

#include <cstddef>

#include "DataType.h"

// The text form of one element on a ZRP point line: each value as %.6g (in
// decimal for Unsigned4), followed by one space.

// Most characters appendElementText writes for one element (a vector of three
// "-1.23457e+308 " components).
constexpr std::size_t maxElementText = 42;
// Room the output buffer must have at `out` when appendElementText is called:
// the number formatter may use up to 32 bytes of scratch behind each value.
constexpr std::size_t elementTextRoom = 64;
// Most characters appendElementText writes for an element of this type.
std::size_t maxTextLength(DataType type);

// Appends the text of the element at `element` and returns the new end.
// Unknown writes nothing.
char* appendElementText(char* out, DataType type, const char* element);

#endif
