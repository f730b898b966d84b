#include "TrackData.h"

#include <cstdint>
#include <cstring>
#include <iostream>

#include "DataType.h"
#include "ElementText.h"
#include "NumberFormat.h"

namespace {

const char* elementAt(const char* data, int index, int size) {
    return data + static_cast<std::size_t>(index) * static_cast<std::size_t>(size);
}

// One value right-aligned in a field, as a stream with setw would write it.
void printField(const char* text, std::size_t length, std::size_t width) {
    if (length < width) std::cout << std::string(width - length, ' ');
    std::cout.write(text, static_cast<std::streamsize>(length));
}

}  // namespace

bool readProperties(std::ifstream& in, Properties& properties) {
    properties.clear();
    in >> properties;
    return !properties.getMap()->empty();
}

void readData(std::ifstream& in, int count, int size, std::vector<char, std::allocator<char>>& buffer) {
    const std::size_t length = static_cast<std::uint32_t>(count) * static_cast<std::uint32_t>(size);
    buffer.clear();
    buffer.resize(length, 0);
    in.read(buffer.data(), static_cast<std::streamsize>(length));
}

bool getDataValue(const std::string& type, int index, int size, char* data, unsigned int& value) {
    if (type != "Unsigned4") return false;
    value = loadValue<std::uint32_t>(elementAt(data, index, size));
    return true;
}

bool getDataValue(const std::string& type, int index, int size, char* data, float& value) {
    if (type != "Float4") return false;
    value = loadValue<float>(elementAt(data, index, size));
    return true;
}

bool getDataValue(const std::string& type, int index, int size, char* data, double& value) {
    if (type != "Float8") return false;
    value = loadValue<double>(elementAt(data, index, size));
    return true;
}

bool getDataValue(const std::string& type, int index, int size, char* data, float* value) {
    if (type != "Vector<3,Float4>") return false;
    std::memcpy(value, elementAt(data, index, size), 3 * sizeof(float));
    return true;
}

bool getDataValue(const std::string& type, int index, int size, char* data, double* value) {
    if (type != "Vector<3,Float8>") return false;
    std::memcpy(value, elementAt(data, index, size), 3 * sizeof(double));
    return true;
}

void writeData(std::stringstream& out, const std::string& type, int index, int size, char* data) {
    char text[maxElementText + elementTextRoom];
    const char* end = appendElementText(text, dataTypeFromName(type), elementAt(data, index, size));
    out.write(text, end - text);
}

void writeData(std::ofstream& out, const std::string& type, int index, int size, char* data) {
    char text[maxElementText + elementTextRoom];
    const char* end = appendElementText(text, dataTypeFromName(type), elementAt(data, index, size));
    out.write(text, end - text);
}

int getDataWidth(const std::string& type) {
    if (type == "Unsigned4" || type == "Float4" || type == "Float8") return 12;
    return 36;
}

void printData(const std::string& type, int index, int size, char* data) {
    const DataType kind = dataTypeFromName(type);
    if (kind == DataType::Unknown) return;
    const char* element = elementAt(data, index, size);
    char text[elementTextRoom];
    const std::size_t width = static_cast<std::size_t>(getDataWidth(type));
    switch (kind) {
        case DataType::Unsigned4:
            printField(text, formatUnsigned(loadValue<std::uint32_t>(element), text), width);
            break;
        case DataType::Float4: printField(text, formatGeneral6(loadValue<float>(element), text), width); break;
        case DataType::Float8: printField(text, formatGeneral6(loadValue<double>(element), text), width); break;
        case DataType::Vector3Float4:
        case DataType::Vector3Float8:
            for (int component = 0; component < 3; ++component) {
                const double value = kind == DataType::Vector3Float4
                                         ? loadValue<float>(element + component * sizeof(float))
                                         : loadValue<double>(element + component * sizeof(double));
                if (component > 0) std::cout << ", ";
                printField(text, formatGeneral6(value, text), width / 3 - 1);
            }
            break;
        case DataType::Unknown: break;
    }
    std::cout << ' ';
}
