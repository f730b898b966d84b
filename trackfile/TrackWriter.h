#ifndef TRACKFILE_TRACKWRITER_H
#define TRACKFILE_TRACKWRITER_H

#include <cstddef>
#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

#include <properties/Properties.h>

// Writes track files: records of a property block, and for steady track
// chunks a separator byte and the raw data of each variable, back to back.
// Used to make inputs for tests, examples and benchmarks.

// How the property blocks are written.
enum class BlockNotation {
    Text,  // the compact property text
    Xml    // the XML notation of the same values
};

// Raw data of one variable, built element by element in the file's layout.
class VariableData {
public:
    // stride 0 means the element size of each append; a larger stride pads
    // each element with zero bytes.
    explicit VariableData(std::size_t stride = 0) : elementStride(stride) {}

    VariableData& unsigned4(std::uint32_t value);
    VariableData& float4(float value);
    VariableData& float8(double value);
    VariableData& vector3Float4(float x, float y, float z);
    VariableData& vector3Float8(double x, double y, double z);

    const std::vector<char>& bytes() const { return data; }

private:
    void append(const void* value, std::size_t size);

    std::size_t elementStride;
    std::vector<char> data;
};

// The descriptor of one variable; the tag is left out when empty.
Properties variableDescriptor(const std::string& name, int type, const std::string& dataType, int dataSize,
                              const std::string& tag = "");
// The block of a steady track chunk.
Properties steadyChunkBlock(int id, const std::string& name, int size, const std::vector<Properties>& variables);

class TrackWriter {
public:
    explicit TrackWriter(std::ostream& out, BlockNotation notation = BlockNotation::Text)
        : out(out), notation(notation) {}

    // A record that carries no data.
    void writeBlock(const Properties& block);
    // A steady chunk: its block, the separator byte, and each variable's data.
    void writeChunk(const Properties& block, const std::vector<std::vector<char>>& data);

    // The same in pieces, for data too large to hold: the block and the
    // separator, then the data in as many calls as needed.
    void beginChunk(const Properties& block);
    void writeData(const char* bytes, std::size_t length);

private:
    std::ostream& out;
    BlockNotation notation;
};

#endif
