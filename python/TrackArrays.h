#ifndef PYTHON_TRACKARRAYS_H
#define PYTHON_TRACKARRAYS_H

#include <cstddef>
#include <cstdint>
#include <istream>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "TrackLayout.h"

class ChunkSource;

// Track files read into typed arrays for the Python module. Nothing here
// touches Python, so all of it runs with the interpreter lock released.

// The element types of the arrays; Bytes is a raw column handed on as it is.
enum class ElementType { Int32, Int64, UInt32, Float32, Float64, Bytes };

std::size_t elementSize(ElementType type);
// The element type of an output array of the layout.
ElementType elementOf(ValueType type);

// A two-dimensional array of `rows` rows of `width` elements (width 1 is
// one value a row), `rowStride` bytes apart, over memory that `owner` keeps.
struct Array {
    ElementType type = ElementType::Float64;
    std::size_t rows = 0;
    std::size_t width = 1;
    std::size_t rowStride = 0;
    char* data = nullptr;
    std::shared_ptr<void> owner;
};

struct NamedArray {
    std::string name;
    Array array;
};

// A track in the order of its ZRP file: group by group, by ascending parcel
// index within a group, the points of a path in file order.
struct Tracks {
    std::vector<std::string> tagNames;
    Array tag;                             // Int32: the group's number, from 1
    Array parcel;                          // UInt32
    Array pathOffsets;                     // Int64: path k is points pathOffsets[k] to pathOffsets[k + 1]
    Array position;                        // width 3, or 1 when every chunk's position is a scalar
    std::vector<NamedArray> variables;     // the written variables, in the first chunk's order
    std::vector<std::string> columnNames;  // their ZRP names: a vector's three with -u, -v and -w
    std::string warning;                   // why reading stopped early; empty when it did not
};

// Reads a whole track from a seekable input in two passes: the first makes
// every check of the translator and counts the paths, the second copies each
// point's stored values to its place. A variable's array has the element type
// of its stored values where all chunks agree, Float64 where they do not.
// Faults are thrown as TrackError with the translator's messages; `name` is
// the input as those messages name it.
Tracks readTracks(std::istream& input, const std::string& name);

// One steady chunk and the columns of its variables.
struct ChunkArrays {
    std::uint64_t record = 0;
    std::uint64_t offset = 0;
    std::int32_t id = 0;
    std::string name;
    std::int32_t size = 0;
    // Every variable: an array over its data where its data type can be read
    // (type 0, 2 or 3), the raw column (type Bytes, width = DataSize) else.
    std::vector<NamedArray> variables;
};

// Reads on to the next steady chunk and all of its data. False at the end of
// the records; `warning` then says why when a block did not parse.
bool nextChunk(ChunkSource& source, ChunkArrays& chunk, std::string& warning);

// Distinct keys for the variables of one array dictionary: the variable's
// name, or "variable N" (N from 1) when it has none or the name is taken.
class VariableKeys {
public:
    std::string keyOf(const std::string& name, int index);

private:
    std::set<std::string> used;
};

#endif
