#ifndef ASSEMBLY_POINTFORMAT_H
#define ASSEMBLY_POINTFORMAT_H

#include <cstddef>

#include "DataType.h"

// One value source of a point: a variable's data type, stride and raw data.
struct LineColumn {
    DataType type;
    std::size_t stride;
    const char* data;
};

// How the assembly turns a point into the line of text it keeps for it: the
// output format decides. The columns are the position, then every written
// variable, in the chunk's order.
class PointFormat {
public:
    virtual ~PointFormat() = default;
    // Bytes writeLine may use for one line of these columns, scratch room
    // included.
    virtual std::size_t lineRoom(const LineColumn* columns, std::size_t count) const = 0;
    // Writes the line of point `point`, with its line feed, at `out`; returns
    // the new end.
    virtual char* writeLine(char* out, const LineColumn* columns, std::size_t count, std::size_t point) const = 0;
};

#endif
