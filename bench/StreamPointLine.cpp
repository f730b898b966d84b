// The point line built the plain way: a fresh std::stringstream per point in
// its default state and operator<< per value. Linked in place of the
// translator's own point-line unit into trk_to_zrp_stringstream, the baseline
// that scripts/bench times and whose output it compares with trk_to_zrp's.

#include "PointLine.h"

#include <cstdint>
#include <cstring>
#include <sstream>
#include <string>

namespace {

template <typename T>
void writeVector(std::stringstream& line, const char* element) {
    for (int component = 0; component < 3; ++component) line << loadValue<T>(element + component * sizeof(T)) << ' ';
}

void writeElement(std::stringstream& line, DataType type, const char* element) {
    switch (type) {
        case DataType::Unsigned4: line << loadValue<std::uint32_t>(element) << ' '; break;
        case DataType::Float4: line << loadValue<float>(element) << ' '; break;
        case DataType::Float8: line << loadValue<double>(element) << ' '; break;
        case DataType::Vector3Float4: writeVector<float>(line, element); break;
        case DataType::Vector3Float8: writeVector<double>(line, element); break;
        case DataType::Unknown: break;
    }
}

}  // namespace

char* writePointLine(char* out, const LineColumn* columns, std::size_t columnCount, std::size_t point) {
    std::stringstream line;
    for (std::size_t c = 0; c < columnCount; ++c)
        writeElement(line, columns[c].type, columns[c].data + point * columns[c].stride);
    const std::string text = line.str();
    std::memcpy(out, text.data(), text.size());
    return out + text.size();
}
