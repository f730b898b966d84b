#include "PointLine.h"

#include "ElementText.h"

char* writePointLine(char* out, const LineValue* values, std::size_t count) {
    for (std::size_t v = 0; v < count; ++v) out = appendValueText(out, values[v]);
    return out;
}
