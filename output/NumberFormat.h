#ifndef OUTPUT_NUMBERFORMAT_H
#define OUTPUT_NUMBERFORMAT_H

#include <cstddef>
#include <cstdint>

// Number text for ZRP point lines. These sit on the hot path of translating
// large track files, so they write into a caller's buffer instead of building
// strings, and they never depend on the C locale.

// Writes value as printf("%.6g") would, into out (at least 32 bytes); returns the length.
// No terminating NUL is written.
std::size_t formatGeneral6(double value, char* out);

// formatGeneral6 without its fallback: returns 0, leaving out undefined, for
// the rare values whose rounding it cannot settle with its own arithmetic
// (formatGeneral6 then asks snprintf). Exposed to measure how rare they are.
std::size_t formatGeneral6Fast(double value, char* out);

// Writes value in decimal; returns the length (at most 10).
// No terminating NUL is written.
std::size_t formatUnsigned(std::uint32_t value, char* out);

#endif
