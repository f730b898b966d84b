#include "TrackData.h"

#include <cstdint>
#include <cstring>
#include <iostream>

#include "NumberFormat.h"

namespace {

const char* elementAt(const char* data, int index, int size) {
    return data + static_cast<std::size_t>(index) * static_cast<std::size_t>(size);
}

template <typename T>
T load(const char* bytes) {
    T value;
    std::memcpy(&value, bytes, sizeof value);
    return value;
}

char* appendNumber(char* out, double value) {
    out += formatGeneral6(value, out);
    *out++ = ' ';
    return out;
}

template <typename T>
char* appendVector(char* out, const char* element) {
    for (int component = 0; component < 3; ++component)
        out = appendNumber(out, load<T>(element + component * sizeof(T)));
    return out;
}

// One value right-aligned in a field, as a stream with setw would write it.
void printField(const char* text, std::size_t length, std::size_t width) {
    if (length < width) std::cout << std::string(width - length, ' ');
    std::cout.write(text, static_cast<std::streamsize>(length));
}

}  // namespace

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
            out += formatUnsigned(load<std::uint32_t>(element), out);
            *out++ = ' ';
            return out;
        case DataType::Float4: return appendNumber(out, load<float>(element));
        case DataType::Float8: return appendNumber(out, load<double>(element));
        case DataType::Vector3Float4: return appendVector<float>(out, element);
        case DataType::Vector3Float8: return appendVector<double>(out, element);
        case DataType::Unknown: return out;
    }
    return out;
}

bool getDataValue(const std::string& type, int index, int size, char* data, unsigned int& value) {
    if (type != "Unsigned4") return false;
    value = load<std::uint32_t>(elementAt(data, index, size));
    return true;
}

bool getDataValue(const std::string& type, int index, int size, char* data, float& value) {
    if (type != "Float4") return false;
    value = load<float>(elementAt(data, index, size));
    return true;
}

bool getDataValue(const std::string& type, int index, int size, char* data, double& value) {
    if (type != "Float8") return false;
    value = load<double>(elementAt(data, index, size));
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
        case DataType::Unsigned4: printField(text, formatUnsigned(load<std::uint32_t>(element), text), width); break;
        case DataType::Float4: printField(text, formatGeneral6(load<float>(element), text), width); break;
        case DataType::Float8: printField(text, formatGeneral6(load<double>(element), text), width); break;
        case DataType::Vector3Float4:
        case DataType::Vector3Float8:
            for (int component = 0; component < 3; ++component) {
                const double value = kind == DataType::Vector3Float4
                                         ? load<float>(element + component * sizeof(float))
                                         : load<double>(element + component * sizeof(double));
                if (component > 0) std::cout << ", ";
                printField(text, formatGeneral6(value, text), width / 3 - 1);
            }
            break;
        case DataType::Unknown: break;
    }
    std::cout << ' ';
}
