#ifndef TRANSLATOR_TRACKCHUNK_H
#define TRANSLATOR_TRACKCHUNK_H

#include <cstdint>
#include <string>
#include <vector>

#include <properties/Properties.h>

// One variable of a steady track chunk: the keys read from its descriptor
// when the chunk is read, and its raw data.
struct ChunkVariable {
    int index = 0;              // position in the chunk's "Variables"
    std::int32_t type = 0;      // "Type": 0 scalar, 2 vector, 3 position
    std::int32_t dataSize = 0;  // "DataSize": stride between elements
    std::string name;           // "Name", read for types 0 and 2
    std::string tag;            // "Tag", read for type 0; empty when absent
    Properties descriptor;      // "DataType" is read from here only when needed
    std::vector<char> data;     // Size * DataSize bytes
};

// A steady track chunk, read and checked key by key, with its data.
struct TrackChunk {
    std::uint64_t record = 0;  // 1-based position among the file's records
    std::int64_t offset = -1;  // byte offset of its block; -1 when unknown
    bool hasId = false;
    std::int32_t id = 0;    // "Id"
    std::string name;       // "Name": the tag group
    std::int32_t size = 0;  // "Size": points in the chunk
    std::vector<ChunkVariable> variables;
};

// How error messages name a chunk: "track chunk (record 3, byte 120, Id 7)".
std::string chunkLabel(const TrackChunk& chunk);
// How error messages name a variable: "variable 2 (\"Velocity\")", 1-based.
std::string variableLabel(const ChunkVariable& variable);

// Reads a key through the property library's converting reads. False when
// the key is missing (the library has then warned on standard error) or holds
// a value that does not convert to the wanted type.
bool readIntKey(const Properties& block, const std::string& key, std::int32_t& value);
bool readStringKey(const Properties& block, const std::string& key, std::string& value);

// True when value is an Array whose every element is a Map: what "Variables"
// must hold.
bool isDescriptorList(const PropertyObject* value);

#endif
