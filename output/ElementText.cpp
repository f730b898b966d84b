#include "ElementText.h"

#include "NumberFormat.h"

char* appendValueText(char* out, const LineValue& value) {
    switch (value.kind) {
        case ValueKind::Absent: return out;
        case ValueKind::Unsigned4: out += formatUnsigned(value.asUnsigned(), out); break;
        case ValueKind::Float4: out += formatGeneral6(static_cast<double>(value.asFloat()), out); break;
        case ValueKind::Float8: out += formatGeneral6(value.asDouble(), out); break;
    }
    *out++ = ' ';
    return out;
}

char* appendElementText(char* out, DataType type, const char* element) {
    const ValueKind kind = kindOf(type);
    if (kind == ValueKind::Absent) return out;
    const ValueType stored = kind == ValueKind::Unsigned4 ? ValueType::UInt32
                             : kind == ValueKind::Float4  ? ValueType::Float32
                                                          : ValueType::Float64;
    const std::size_t size = valueSize(stored);
    for (unsigned c = 0; c < (isVectorType(type) ? 3u : 1u); ++c)
        out = appendValueText(out, LineValue{kind, stored, element + c * size});
    return out;
}
