#include "TrackWriter.h"

#include <cstring>

void VariableData::append(const void* value, std::size_t size) {
    const std::size_t start = data.size();
    data.resize(start + (elementStride > size ? elementStride : size), 0);
    std::memcpy(&data[start], value, size);
}

VariableData& VariableData::unsigned4(std::uint32_t value) {
    append(&value, sizeof value);
    return *this;
}

VariableData& VariableData::float4(float value) {
    append(&value, sizeof value);
    return *this;
}

VariableData& VariableData::float8(double value) {
    append(&value, sizeof value);
    return *this;
}

VariableData& VariableData::vector3Float4(float x, float y, float z) {
    const float value[3] = {x, y, z};
    append(value, sizeof value);
    return *this;
}

VariableData& VariableData::vector3Float8(double x, double y, double z) {
    const double value[3] = {x, y, z};
    append(value, sizeof value);
    return *this;
}

Properties variableDescriptor(const std::string& name, int type, const std::string& dataType, int dataSize,
                              const std::string& tag) {
    Properties descriptor;
    descriptor.set("Name", name);
    descriptor.set("Type", type);
    descriptor.set("DataType", dataType);
    descriptor.set("DataSize", dataSize);
    if (!tag.empty()) descriptor.set("Tag", tag);
    return descriptor;
}

Properties steadyChunkBlock(int id, const std::string& name, int size, const std::vector<Properties>& variables) {
    Properties block;
    block.set("ClassName", std::string("TrackChunk"));
    block.set("Steady", true);
    block.set("Id", id);
    block.set("Name", name);
    block.set("Size", size);
    block.set("Variables", variables);
    return block;
}

void TrackWriter::writeBlock(const Properties& block) {
    out << (notation == BlockNotation::Xml ? block.toXml() : block.toString());
}

void TrackWriter::writeChunk(const Properties& block, const std::vector<std::vector<char>>& data) {
    beginChunk(block);
    for (const std::vector<char>& bytes : data) writeData(bytes.data(), bytes.size());
}

void TrackWriter::beginChunk(const Properties& block) {
    writeBlock(block);
    out.put('\n');
}

void TrackWriter::writeData(const char* bytes, std::size_t length) {
    out.write(bytes, static_cast<std::streamsize>(length));
}
