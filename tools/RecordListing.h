#ifndef TOOLS_RECORDLISTING_H
#define TOOLS_RECORDLISTING_H

#include <cstdint>
#include <string>
#include <vector>

#include <properties/Properties.h>

// Reading the records of a track file for display: what their blocks say and
// where a steady track chunk's data lies. Nothing here trusts the file: keys
// may be missing or of any type, and sizes may be negative or absurd.

// One variable of a steady track chunk, as far as showing its data goes.
struct VariableLayout {
    std::string label;          // its "Name", or "variable N" when it has none
    std::string dataType;       // "DataType"; empty when missing or not a string
    std::int32_t dataSize = 0;  // "DataSize": the stride between elements
    std::string columnProblem;  // why its data cannot be shown; empty when it can
};

// Where a steady track chunk's data lies: after one separator byte, "Size"
// elements of every variable in turn.
struct ChunkLayout {
    std::int32_t size = 0;  // "Size"
    std::vector<VariableLayout> variables;
};

// "ClassName" is "TrackChunk" and "Steady" is true, read as the translator
// reads them: only such records carry data.
bool isSteadyTrackChunk(const Properties& block);

// The record's own keys that are present, in property text, such as
// "ClassName 'TrackChunk', Steady true, Id 1, Name 'A', Size 2"; other keys
// by name only. "Variables" is left to describeVariables when it is a list.
std::string describeBlock(const Properties& block);

// One line per element of "Variables": the descriptor's keys in property
// text, or what the element is when it is not a descriptor.
std::vector<std::string> describeVariables(const Properties& block);

// Reads the layout of a steady chunk. Returns an empty string, or why the
// data cannot be located: the records after such a chunk cannot be found.
std::string readChunkLayout(const Properties& block, ChunkLayout& layout);

// Bytes of data after the separator byte; 64 bits hold any layout that
// readChunkLayout accepts.
std::uint64_t dataLength(const ChunkLayout& layout);

// Characters printData takes for one element of this type, without the
// space that follows it.
int columnWidth(const std::string& dataType);

#endif
