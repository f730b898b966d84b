#include "RecordListing.h"

#include <sstream>

#include "DataType.h"
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

}  // namespace

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

int columnWidth(const std::string& dataType) {
    const int width = getDataWidth(dataType);
    if (!isVectorType(dataTypeFromName(dataType))) return width;
    // Three components in width / 3 - 1 characters, two ", " between them.
    return 3 * (width / 3 - 1) + 2 * 2;
}
