#include "RecordListing.h"

#include <limits>
#include <sstream>

#include "TrackChunk.h"
#include "TrackData.h"

namespace {

const char* const recordKeys[] = {"ClassName", "Steady", "Id", "Name", "Size"};
const char* const variableKeys[] = {"Name", "Type", "DataType", "DataSize", "Tag"};

std::string propertyText(const PropertyObject& value) {
    std::ostringstream text;
    value.display(text);
    return text.str();
}

const PropertyObject* findKey(const PropertyObject::ValueMap& map, const std::string& key) {
    const auto entry = map.find(key);
    return entry == map.end() ? nullptr : entry->second;
}

// The library warns on standard error about a key that is not there; a dump
// asks first, so that only its own words reach the user.
bool intKey(const Properties& block, const std::string& key, std::int32_t& value) {
    return block.hasName(key) && readIntKey(block, key, value);
}

bool stringKey(const Properties& block, const std::string& key, std::string& value) {
    return block.hasName(key) && readStringKey(block, key, value);
}

// The named keys that are present, in the given order, as "Key value".
template <std::size_t N>
std::string describeKeys(const PropertyObject::ValueMap& map, const char* const (&keys)[N]) {
    std::string text;
    for (const char* key : keys) {
        const PropertyObject* value = findKey(map, key);
        if (value == nullptr) continue;
        if (!text.empty()) text += ", ";
        text += std::string(key) + " " + propertyText(*value);
    }
    return text;
}

// Why the elements of this variable cannot be picked out of its data; an
// element must fit within its stride, or the last one would lie past the
// end of the buffer.
std::string columnProblem(bool hasDataType, const VariableLayout& variable) {
    if (!hasDataType) return "\"DataType\" is missing or is not a string";
    const DataType type = dataTypeFromName(variable.dataType);
    if (type == DataType::Unknown) return "unknown \"DataType\" '" + variable.dataType + "'";
    const std::size_t size = elementSize(type);
    if (static_cast<std::size_t>(variable.dataSize) < size)
        return "\"DataSize\" " + std::to_string(variable.dataSize) + " is smaller than one " + variable.dataType +
               " element (" + std::to_string(size) + " bytes)";
    return "";
}

}  // namespace

bool isSteadyTrackChunk(const Properties& block) {
    return block.hasName("ClassName") && block.getString("ClassName") == "TrackChunk" && block.hasName("Steady") &&
           block.getBool("Steady");
}

std::string describeBlock(const Properties& block) {
    const PropertyObject::ValueMap& map = *block.getMap();
    std::string text = describeKeys(map, recordKeys);
    std::string others;
    for (const auto& entry : map) {
        bool listed = entry.first == "Variables" && isDescriptorList(entry.second);
        for (const char* key : recordKeys) listed = listed || entry.first == key;
        if (listed) continue;
        // A "Variables" that is not a list of descriptors is shown whole:
        // it is what keeps a chunk from being read.
        const std::string shown =
            entry.first == "Variables" ? "Variables " + propertyText(*entry.second) : "'" + entry.first + "'";
        others += (others.empty() ? "" : ", ") + shown;
    }
    if (!others.empty()) text += (text.empty() ? "other keys " : "; other keys ") + others;
    return text;
}

std::vector<std::string> describeVariables(const Properties& block) {
    std::vector<std::string> lines;
    const PropertyObject* variables = findKey(*block.getMap(), "Variables");
    if (!isDescriptorList(variables)) return lines;
    for (const PropertyObject* element : variables->asArray())
        lines.push_back(describeKeys(element->asMap(), variableKeys));
    return lines;
}

std::string readChunkLayout(const Properties& block, ChunkLayout& layout) {
    layout = ChunkLayout();
    if (!intKey(block, "Size", layout.size)) return "\"Size\" is missing or is not an integer";
    if (layout.size < 0) return "\"Size\" is negative (" + std::to_string(layout.size) + ")";
    const PropertyObject* variables = findKey(*block.getMap(), "Variables");
    if (!isDescriptorList(variables)) return "\"Variables\" is missing or is not a list of variable descriptors";

    for (PropertyObject* element : variables->asArray()) {
        const Properties descriptor(*element);
        VariableLayout variable;
        const std::string number = "variable " + std::to_string(layout.variables.size() + 1);
        if (!stringKey(descriptor, "Name", variable.label)) variable.label = number;
        if (!intKey(descriptor, "DataSize", variable.dataSize))
            return number + ": \"DataSize\" is missing or is not an integer";
        if (variable.dataSize < 0)
            return number + ": \"DataSize\" is negative (" + std::to_string(variable.dataSize) + ")";
        const bool hasDataType = stringKey(descriptor, "DataType", variable.dataType);
        variable.columnProblem = columnProblem(hasDataType, variable);
        layout.variables.push_back(variable);
    }
    return "";
}

std::uint64_t dataLength(const ChunkLayout& layout) {
    const std::uint64_t most = std::numeric_limits<std::uint64_t>::max();
    std::uint64_t total = 0;
    for (const VariableLayout& variable : layout.variables) {
        // Each product is below 2^62; only the sum can overflow.
        const std::uint64_t length = std::uint64_t(layout.size) * std::uint64_t(variable.dataSize);
        if (length > most - total) return most;
        total += length;
    }
    return total;
}

int columnWidth(const std::string& dataType) {
    const int width = getDataWidth(dataType);
    if (!isVectorType(dataTypeFromName(dataType))) return width;
    // Three components in width / 3 - 1 characters, two ", " between them.
    return 3 * (width / 3 - 1) + 2 * 2;
}
