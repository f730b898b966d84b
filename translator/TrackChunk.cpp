#include "TrackChunk.h"

#include "TranslationError.h"

std::string chunkLabel(const TrackChunk& chunk) {
    std::string label = "track chunk (record " + std::to_string(chunk.record);
    if (chunk.offset >= 0) label += ", byte " + std::to_string(chunk.offset);
    if (chunk.hasId) label += ", Id " + std::to_string(chunk.id);
    return label + ")";
}

std::string variableLabel(const ChunkVariable& variable) {
    std::string label = "variable " + std::to_string(variable.index + 1);
    if (!variable.name.empty()) label += " (\"" + variable.name + "\")";
    return label;
}

void fail(const std::string& text) {
    // Names in the messages come from the file and may hold byte 0, which
    // would end the message early where it is handed on as a C string.
    std::string shown;
    shown.reserve(text.size());
    for (const char c : text) {
        if (c == '\0')
            shown += "\\0";
        else
            shown += c;
    }
    throw TranslationError("Error:  " + shown + "\n");
}

void failChunk(const TrackChunk& chunk, const std::string& problem) {
    fail(chunkLabel(chunk) + ": " + problem + ".");
}

void failVariable(const TrackChunk& chunk, const ChunkVariable& variable, const std::string& problem) {
    failChunk(chunk, variableLabel(variable) + ": " + problem);
}

// A read that does not convert leaves its target as it was, so reading into
// two targets that start out different tells a conversion from no conversion.
bool readIntKey(const Properties& block, const std::string& key, std::int32_t& value) {
    const PropertyObject* object = block.getObject(key);
    if (object == nullptr) return false;
    int first = 0;
    int second = 1;
    object->getValue(first);
    object->getValue(second);
    if (first != second) return false;
    value = first;
    return true;
}

bool readStringKey(const Properties& block, const std::string& key, std::string& value) {
    const PropertyObject* object = block.getObject(key);
    if (object == nullptr) return false;
    std::string first;
    std::string second = "-";
    object->getValue(first);
    object->getValue(second);
    if (first != second) return false;
    value = first;
    return true;
}

bool isDescriptorList(const PropertyObject* value) {
    if (value == nullptr || value->getType() != PropertyObject::Array) return false;
    for (const PropertyObject* element : value->asArray())
        if (element == nullptr || element->getType() != PropertyObject::Map) return false;
    return true;
}
