#include "NumberFormat.h"

#include <cstdio>
#include <cstring>

std::size_t formatGeneral6(double value, char* out)
{
    char text[32];
    const int length = std::snprintf(text, sizeof text, "%.6g", value);
    std::memcpy(out, text, static_cast<std::size_t>(length));
    return static_cast<std::size_t>(length);
}

std::size_t formatUnsigned(std::uint32_t value, char* out)
{
    char text[16];
    const int length = std::snprintf(text, sizeof text, "%u", static_cast<unsigned>(value));
    std::memcpy(out, text, static_cast<std::size_t>(length));
    return static_cast<std::size_t>(length);
}
