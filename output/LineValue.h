#ifndef OUTPUT_LINEVALUE_H
#define OUTPUT_LINEVALUE_H

#include <cstdint>

#include "DataType.h"
#include "TrackLayout.h"

// One value of a point as a text output writes it: the kind it was stored
// in, and its bytes in the type its array keeps it in, which holds it
// exactly.
struct LineValue {
    ValueKind kind;
    ValueType type;
    const char* bytes;

    std::uint32_t asUnsigned() const {
        return type == ValueType::UInt32 ? loadValue<std::uint32_t>(bytes)
                                         : static_cast<std::uint32_t>(loadValue<double>(bytes));
    }
    float asFloat() const {
        return type == ValueType::Float32 ? loadValue<float>(bytes) : static_cast<float>(loadValue<double>(bytes));
    }
    double asDouble() const {
        switch (type) {
            case ValueType::UInt32: return loadValue<std::uint32_t>(bytes);
            case ValueType::Float32: return loadValue<float>(bytes);
            case ValueType::Float64: return loadValue<double>(bytes);
        }
        return 0;
    }
};

#endif
