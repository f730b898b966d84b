#ifndef OUTPUT_SHORTESTFORMAT_H
#define OUTPUT_SHORTESTFORMAT_H

#include <cstddef>

// The shortest text that reads back to the same value, for the CSV output:
// byte for byte what std::to_chars(first, last, value) writes, with its
// choice between fixed and scientific notation ("1e+22", "0.001", "1e-04",
// "123456789012345683968"), "nan", "-nan", "inf", "-inf" and "-0". Written
// into a caller's buffer without a terminating NUL; returns the length, at
// most 24 for a double and 16 for a float.

// The bytes that must be writable at `out`: the text, and scratch the
// formatters store whole words into past its end.
constexpr std::size_t shortestRoom = 48;

std::size_t formatShortest(float value, char* out);
std::size_t formatShortest(double value, char* out);

#endif
