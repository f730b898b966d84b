#ifndef TRACKFILE_TRACKCHUNK_H
#define TRACKFILE_TRACKCHUNK_H

#include <cstdint>
#include <string>
#include <vector>

#include <properties/Properties.h>

#include "DataType.h"

// What a variable's "Type" makes of it.
enum class VariableKind {
    Scalar,    // 0: one value a point
    Vector,    // 2: three values a point, written under the name with -u, -v and -w
    Position,  // 3: the point's position
    Other      // any other number: the data is there and is passed over
};
VariableKind variableKind(std::int32_t type);

// One variable of a steady track chunk: the keys read from its descriptor
// when the chunk is read, where its data lies, and the data once read.
struct ChunkVariable {
    int index = 0;                 // position in the chunk's "Variables"
    std::int32_t type = 0;         // "Type", as the file has it (see kind())
    std::int32_t dataSize = 0;     // "DataSize": stride between elements
    std::string name;              // "Name", read for types 0 and 2 (and wherever present)
    std::string tag;               // "Tag", read for type 0; empty when absent
    Properties descriptor;         // "DataType" is read from here only where it is needed
    std::uint64_t dataOffset = 0;  // byte offset of its data in the input
    std::uint64_t dataLength = 0;  // "Size" * "DataSize" bytes
    std::vector<char> data;        // those bytes, once read

    VariableKind kind() const { return variableKind(type); }
};

// A steady track chunk: its keys, each checked for presence and type, and
// its variables.
struct TrackChunk {
    std::uint64_t record = 0;  // 1-based position among the input's records
    std::uint64_t offset = 0;  // byte offset of its block
    bool hasId = false;
    std::int32_t id = 0;    // "Id"
    std::string name;       // "Name": the tag group
    std::int32_t size = 0;  // "Size": points in the chunk
    std::vector<ChunkVariable> variables;
    std::uint64_t dataOffset = 0;  // the first byte after the separator byte
};

// How error messages name a chunk: "track chunk (record 3, byte 120, Id 7)".
std::string chunkLabel(const TrackChunk& chunk);
// How error messages name a variable: "variable 2 (\"Velocity\")", 1-based.
std::string variableLabel(const ChunkVariable& variable);

// Reads a key through the property library's converting reads. False when
// the key is missing (the library has then warned on standard error) or holds
// a value that does not convert to the wanted type. An integer key also takes
// a Long whose value fits 32 bits.
bool readIntKey(const Properties& block, const std::string& key, std::int32_t& value);
bool readStringKey(const Properties& block, const std::string& key, std::string& value);
// Why readIntKey refused a key: "\"Size\" is out of range (4000000000)" for a
// Long beyond 32 bits, the number as the file has it; "\"Size\" is missing or
// is not an integer" otherwise.
std::string intKeyFault(const Properties& block, const std::string& key);

// True when value is an Array whose every element is a Map: what "Variables"
// must hold.
bool isDescriptorList(const PropertyObject* value);

// What a variable's "DataType" says about reading its elements.
struct DataTypeCheck {
    bool present = false;  // "DataType" is there and is a string
    std::string name;      // its text
    DataType type = DataType::Unknown;
    std::string problem;  // why its elements cannot be read; empty when they can
};
// Reads "DataType" without a warning and checks that an element fits the
// variable's stride, so that no element is read past the variable's data.
DataTypeCheck checkDataType(const ChunkVariable& variable);
// The same for a variable whose elements are read: its fault ends the
// reading as a ChunkError (after the library's warning when "DataType" is
// missing, as for every key that is read).
DataType readDataType(const TrackChunk& chunk, const ChunkVariable& variable);

#endif
