#ifndef TRANSLATOR_TRACKDATA_H
#define TRANSLATOR_TRACKDATA_H

// The record-by-record interface to track files, for programs of their own
// that read records and pick values out of a chunk's data by type name: read
// a block, read a variable's data, get one element, write it as point-line
// text or in columns. The translator itself reads through the chunk source
// and builds its lines in the assembly; trk_dump prints its data tables with
// printData. Type names are matched exactly and case-sensitively.

#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include <properties/Properties.h>

// Clears the collection and extracts the next property block into it; true
// when the block holds at least one entry. The end of the input, a block that
// does not parse and the empty block "{}" all give false.
bool readProperties(std::ifstream& in, Properties& properties);

// Makes the buffer count * size zero bytes and reads that many bytes into it,
// whatever the stream's state afterwards.
void readData(std::ifstream& in, int count, int size, std::vector<char, std::allocator<char>>& buffer);

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
