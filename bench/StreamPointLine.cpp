// The point line built the plain way: a fresh std::stringstream per point in
// its default state and operator<< per value. Linked in place of the
// translator's own point-line unit into trk_to_zrp_stringstream, the baseline
// that scripts/bench times and whose output it compares with trk_to_zrp's.

#include "PointLine.h"

#include <cstring>
#include <sstream>
#include <string>

char* writePointLine(char* out, const LineValue* values, std::size_t count) {
    std::stringstream line;
    for (std::size_t v = 0; v < count; ++v) {
        switch (values[v].kind) {
            case ValueKind::Absent: continue;
            case ValueKind::Unsigned4: line << values[v].asUnsigned(); break;
            case ValueKind::Float4: line << values[v].asFloat(); break;
            case ValueKind::Float8: line << values[v].asDouble(); break;
        }
        line << ' ';
    }
    const std::string text = line.str();
    std::memcpy(out, text.data(), text.size());
    return out + text.size();
}
