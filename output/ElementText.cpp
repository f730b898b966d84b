#include "ElementText.h"

#include <cstdint>

#include "NumberFormat.h"

namespace {

char* appendNumber(char* out, double value) {
    out += formatGeneral6(value, out);
    *out++ = ' ';
    return out;
}

template <typename T>
char* appendVector(char* out, const char* element) {
    for (int component = 0; component < 3; ++component)
        out = appendNumber(out, loadValue<T>(element + component * sizeof(T)));
    return out;
}

}  // namespace

std::size_t maxTextLength(DataType type) {
    switch (type) {
        case DataType::Unsigned4: return 11;  // "4294967295 "
        case DataType::Float4:
        case DataType::Float8: return 14;  // "-1.23457e+308 "
        case DataType::Vector3Float4:
        case DataType::Vector3Float8: return maxElementText;
        case DataType::Unknown: return 0;
    }
    return 0;
}

char* appendElementText(char* out, DataType type, const char* element) {
    switch (type) {
        case DataType::Unsigned4:
            out += formatUnsigned(loadValue<std::uint32_t>(element), out);
            *out++ = ' ';
            return out;
        case DataType::Float4: return appendNumber(out, loadValue<float>(element));
        case DataType::Float8: return appendNumber(out, loadValue<double>(element));
        case DataType::Vector3Float4: return appendVector<float>(out, element);
        case DataType::Vector3Float8: return appendVector<double>(out, element);
        case DataType::Unknown: return out;
    }
    return out;
}
