#include "PointLine.h"

#include "ElementText.h"

char* writePointLine(char* out, const LineColumn* columns, std::size_t columnCount, std::size_t point) {
    for (std::size_t c = 0; c < columnCount; ++c)
        out = appendElementText(out, columns[c].type, columns[c].data + point * columns[c].stride);
    return out;
}
