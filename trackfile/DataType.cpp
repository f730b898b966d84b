#include "DataType.h"

DataType dataTypeFromName(const std::string& name) {
    if (name == "Unsigned4") return DataType::Unsigned4;
    if (name == "Float4") return DataType::Float4;
    if (name == "Float8") return DataType::Float8;
    if (name == "Vector<3,Float4>") return DataType::Vector3Float4;
    if (name == "Vector<3,Float8>") return DataType::Vector3Float8;
    return DataType::Unknown;
}

std::size_t elementSize(DataType type) {
    switch (type) {
        case DataType::Unsigned4: return 4;
        case DataType::Float4: return 4;
        case DataType::Float8: return 8;
        case DataType::Vector3Float4: return 12;
        case DataType::Vector3Float8: return 24;
        case DataType::Unknown: return 0;
    }
    return 0;
}

bool isVectorType(DataType type) {
    switch (type) {
        case DataType::Vector3Float4:
        case DataType::Vector3Float8: return true;
        case DataType::Unsigned4:
        case DataType::Float4:
        case DataType::Float8:
        case DataType::Unknown: return false;
    }
    return false;
}
