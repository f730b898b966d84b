#ifndef TRACKFILE_DATATYPE_H
#define TRACKFILE_DATATYPE_H

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

// The element types of a track chunk's raw variable data, named by the
// variable's "DataType". Elements are little-endian, unaligned, and element
// `index` begins at byte index * stride of the variable's data.
enum class DataType {
    Unsigned4,      // "Unsigned4": unsigned 32-bit integer
    Float4,         // "Float4": IEEE single precision
    Float8,         // "Float8": IEEE double precision
    Vector3Float4,  // "Vector<3,Float4>": three singles x, y, z
    Vector3Float8,  // "Vector<3,Float8>": three doubles x, y, z
    Unknown         // any other name, matched case-sensitively
};

DataType dataTypeFromName(const std::string& name);
// Bytes one element occupies; 0 for Unknown.
std::size_t elementSize(DataType type);
bool isVectorType(DataType type);

// A value of type T read from possibly unaligned bytes, in the machine's
// (little-endian) byte order.
template <typename T>
T loadValue(const char* bytes) {
    T value;
    std::memcpy(&value, bytes, sizeof value);
    return value;
}

#endif
