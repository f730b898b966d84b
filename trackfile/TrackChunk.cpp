#include "TrackChunk.h"

#include <limits>

#include "TrackError.h"

VariableKind variableKind(std::int32_t type) {
    switch (type) {
        case 0: return VariableKind::Scalar;
        case 2: return VariableKind::Vector;
        case 3: return VariableKind::Position;
        default: return VariableKind::Other;
    }
}

std::string chunkLabel(const TrackChunk& chunk) {
    std::string label = "track chunk (record " + std::to_string(chunk.record);
    label += ", byte " + std::to_string(chunk.offset);
    if (chunk.hasId) label += ", Id " + std::to_string(chunk.id);
    return label + ")";
}

std::string variableLabel(const ChunkVariable& variable) {
    std::string label = "variable " + std::to_string(variable.index + 1);
    if (!variable.name.empty()) label += " (\"" + variable.name + "\")";
    return label;
}

namespace {

// A Long that fits 32 bits: the property text makes any integer beyond 32
// bits a Long, and a writer may make one of any integer.
bool fitsInt(const PropertyObject& object) {
    return object.getType() == PropertyObject::Long && object.asLong() >= std::numeric_limits<std::int32_t>::min() &&
           object.asLong() <= std::numeric_limits<std::int32_t>::max();
}

}  // namespace

// A read that does not convert leaves its target as it was, so reading into
// two targets that start out different tells a conversion from no conversion.
bool readIntKey(const Properties& block, const std::string& key, std::int32_t& value) {
    const PropertyObject* object = block.getObject(key);
    if (object == nullptr) return false;
    if (fitsInt(*object)) {
        value = static_cast<std::int32_t>(object->asLong());
        return true;
    }
    int first = 0;
    int second = 1;
    object->getValue(first);
    object->getValue(second);
    if (first != second) return false;
    value = first;
    return true;
}

std::string intKeyFault(const Properties& block, const std::string& key) {
    const PropertyObject::ValueMap& map = *block.getMap();
    const auto entry = map.find(key);
    if (entry != map.end() && entry->second->getType() == PropertyObject::Long && !fitsInt(*entry->second))
        return "\"" + key + "\" is out of range (" + std::to_string(entry->second->asLong()) + ")";
    return "\"" + key + "\" is missing or is not an integer";
}

bool readStringKey(const Properties& block, const std::string& key, std::string& value) {
    const PropertyObject* object = block.getObject(key);
    // Only a String converts to text; the text is copied once, whatever its length.
    if (object == nullptr || object->getType() != PropertyObject::String) return false;
    value = object->asString();
    return true;
}

bool isDescriptorList(const PropertyObject* value) {
    if (value == nullptr || value->getType() != PropertyObject::Array) return false;
    for (const PropertyObject* element : value->asArray())
        if (element == nullptr || element->getType() != PropertyObject::Map) return false;
    return true;
}

DataTypeCheck checkDataType(const ChunkVariable& variable) {
    DataTypeCheck check;
    check.present =
        variable.descriptor.hasName("DataType") && readStringKey(variable.descriptor, "DataType", check.name);
    if (!check.present) {
        check.problem = "\"DataType\" is missing or is not a string";
        return check;
    }
    check.type = dataTypeFromName(check.name);
    if (check.type == DataType::Unknown) {
        check.problem = "\"DataType\" \"" + check.name + "\" is not a known data type";
    } else if (static_cast<std::size_t>(variable.dataSize) < elementSize(check.type)) {
        check.problem = "\"DataSize\" " + std::to_string(variable.dataSize) + " is smaller than the " +
                        std::to_string(elementSize(check.type)) + " bytes of \"" + check.name + "\"";
    }
    return check;
}

DataType readDataType(const TrackChunk& chunk, const ChunkVariable& variable) {
    const DataTypeCheck check = checkDataType(variable);
    if (!check.problem.empty()) {
        variable.descriptor.assertHasName("DataType");
        failVariable(chunk, variable, check.problem);
    }
    return check.type;
}
