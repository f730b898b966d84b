#ifndef TESTS_TRACKTESTDATA_H
#define TESTS_TRACKTESTDATA_H

#include <cstdint>
#include <sstream>
#include <string>
#include <vector>

#include <properties/Properties.h>

#include "TrackWriter.h"

// Chunks for translation tests, built with the project's track writer.

// One steady chunk: its block and the data of each of its variables.
struct TestChunk {
    Properties block;
    std::vector<std::vector<char>> data;
};

// A point of a chunk with the variables Parcel Index (Unsigned4),
// Position (Vector<3,Float4>), Diameter (Float4) and Temperature (Float8).
struct TestPoint {
    std::uint32_t parcel;
    float x, y, z;
    float diameter;
    double temperature;
};

inline TestChunk standardChunk(int id, const std::string& name, const std::vector<TestPoint>& points) {
    VariableData parcels, positions, diameters, temperatures;
    for (const TestPoint& p : points) {
        parcels.unsigned4(p.parcel);
        positions.vector3Float4(p.x, p.y, p.z);
        diameters.float4(p.diameter);
        temperatures.float8(p.temperature);
    }
    TestChunk chunk;
    chunk.block = steadyChunkBlock(
        id, name, static_cast<int>(points.size()),
        {variableDescriptor("Parcel Index", 0, "Unsigned4", 4, "ParcelId"),
         variableDescriptor("Position", 3, "Vector<3,Float4>", 12), variableDescriptor("Diameter", 0, "Float4", 4),
         variableDescriptor("Temperature", 0, "Float8", 8)});
    chunk.data = {parcels.bytes(), positions.bytes(), diameters.bytes(), temperatures.bytes()};
    return chunk;
}

// The descriptor of variable i of a chunk's block, shared with the block:
// changing it changes the chunk.
inline Properties descriptorOf(const TestChunk& chunk, std::size_t i) {
    std::vector<Properties> variables;
    chunk.block.get("Variables", variables);
    return variables.at(i);
}

inline std::string trackText(const std::vector<TestChunk>& chunks, BlockNotation notation = BlockNotation::Text) {
    std::ostringstream out;
    TrackWriter writer(out, notation);
    for (const TestChunk& chunk : chunks) writer.writeChunk(chunk.block, chunk.data);
    return out.str();
}

// The two chunks of the reference example: A with parcels 0 and 1, then B
// (or A again) with parcel 1.
inline std::vector<TestChunk> referenceChunks(const std::string& secondName) {
    return {standardChunk(1, "A", {{0, 0, 0, 0, 0.5f, 300}, {1, 1, 0, 0, 0.25f, 301.5}}),
            standardChunk(2, secondName, {{1, 2, 0, 0, 0.125f, 299.75}})};
}

// A stream buffer that cannot seek, as on a pipe.
class PipeBuffer : public std::stringbuf {
public:
    explicit PipeBuffer(const std::string& bytes) : std::stringbuf(bytes, std::ios::in) {}

protected:
    pos_type seekoff(off_type, std::ios::seekdir, std::ios::openmode) override { return pos_type(off_type(-1)); }
    pos_type seekpos(pos_type, std::ios::openmode) override { return pos_type(off_type(-1)); }
};

// One input of the same bytes, seekable (as a file) or not (as a pipe).
struct Input {
    explicit Input(const std::string& bytes, bool pipe) : file(bytes), pipeBuffer(bytes), stream(nullptr) {
        stream.rdbuf(pipe ? static_cast<std::streambuf*>(&pipeBuffer) : file.rdbuf());
    }
    std::istringstream file;
    PipeBuffer pipeBuffer;
    std::istream stream;
};

#endif
