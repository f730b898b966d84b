#ifndef TRANSLATOR_TRACKDATA_H
#define TRANSLATOR_TRACKDATA_H

#include <cstddef>
#include <fstream>
#include <sstream>
#include <string>

// The element types of a track chunk's raw variable data, named by the
// variable's "DataType". Elements are little-endian, unaligned, and element
// `index` begins at byte index * stride of the variable's buffer.
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

// Most characters appendElementText writes for one element (a vector of three
// "-1.23457e+308 " components).
constexpr std::size_t maxElementText = 42;
// Room the output buffer must have at `out` when appendElementText is called:
// the number formatter may use up to 32 bytes of scratch behind each value.
constexpr std::size_t elementTextRoom = 64;
// Most characters appendElementText writes for an element of this type.
std::size_t maxTextLength(DataType type);

// Appends the point-line text of the element at `element` (each value as
// %.6g, or in decimal for Unsigned4, followed by one space) and returns the
// new end. Unknown writes nothing.
char* appendElementText(char* out, DataType type, const char* element);

// The operations below take the type by name and the element by index and
// stride; the caller guarantees that index and stride are not negative and
// that the buffer holds index * stride plus the element size bytes.

// Each overload accepts exactly one type name and returns false, leaving the
// output untouched, for every other.
bool getDataValue(const std::string& type, int index, int size, char* data, unsigned int& value);
bool getDataValue(const std::string& type, int index, int size, char* data, float& value);
bool getDataValue(const std::string& type, int index, int size, char* data, double& value);
bool getDataValue(const std::string& type, int index, int size, char* data, float* value);
bool getDataValue(const std::string& type, int index, int size, char* data, double* value);

// Appends the element's point-line text; an unknown type name appends nothing.
void writeData(std::stringstream& out, const std::string& type, int index, int size, char* data);
void writeData(std::ofstream& out, const std::string& type, int index, int size, char* data);

// Display column width: 12 for the scalar types, 36 for any other name.
int getDataWidth(const std::string& type);
// Writes the element to standard output in columns: a scalar right-aligned in
// 12 characters, a vector's components in 11 each separated by ", ", then
// one space. An unknown type name writes nothing.
void printData(const std::string& type, int index, int size, char* data);

#endif
