#include "TrackReader.h"

#include <algorithm>
#include <cstdint>

#include <properties/PropertyParser.h>

#include "Assembly.h"
#include "Progress.h"
#include "TrackChunk.h"
#include "TranslationError.h"

namespace {

bool isSteadyTrackChunk(const Properties& block) {
    return block.hasName("ClassName") && block.getString("ClassName") == "TrackChunk" && block.hasName("Steady") &&
           block.getBool("Steady");
}

// The size of the input when it can be known, so that a chunk that claims
// more data than the file holds is refused before its buffers are made.
std::int64_t streamSize(std::istream& in) {
    const std::istream::pos_type start = in.tellg();
    if (start == std::istream::pos_type(-1)) {
        in.clear();
        return -1;
    }
    in.seekg(0, std::ios::end);
    const std::istream::pos_type end = in.tellg();
    in.clear();
    in.seekg(start);
    return end == std::istream::pos_type(-1) ? -1 : static_cast<std::int64_t>(end);
}

ChunkVariable readVariableKeys(const TrackChunk& chunk, const Properties& descriptor, int index) {
    ChunkVariable variable;
    variable.index = index;
    variable.descriptor = descriptor;
    // The name labels the messages below whenever the descriptor has one.
    if (descriptor.hasName("Name")) readStringKey(descriptor, "Name", variable.name);

    if (!readIntKey(descriptor, "DataSize", variable.dataSize))
        failVariable(chunk, variable, "\"DataSize\" is missing or is not an integer");
    if (variable.dataSize < 0)
        failVariable(chunk, variable, "\"DataSize\" is negative (" + std::to_string(variable.dataSize) + ")");
    // The data length is a 32-bit count in the file format.
    if (std::uint64_t(chunk.size) * std::uint64_t(variable.dataSize) > 0xffffffffu)
        failVariable(chunk, variable,
                     "the data length \"Size\" " + std::to_string(chunk.size) + " times \"DataSize\" " +
                         std::to_string(variable.dataSize) + " does not fit in 32 bits");
    if (!readIntKey(descriptor, "Type", variable.type))
        failVariable(chunk, variable, "\"Type\" is missing or is not an integer");
    if ((variable.type == 0 || variable.type == 2) && !readStringKey(descriptor, "Name", variable.name))
        failVariable(chunk, variable, "\"Name\" is missing or is not a string");
    // Scalars without a tag are common: only a tag that is there must be text.
    if (variable.type == 0 && descriptor.hasName("Tag") && !readStringKey(descriptor, "Tag", variable.tag))
        failVariable(chunk, variable, "\"Tag\" is not a string");
    return variable;
}

// Reads the keys of a steady chunk's block, each checked for presence and
// type, with its sizes checked before any data is read.
TrackChunk readChunkKeys(const Properties& block, std::uint64_t record, std::int64_t offset) {
    TrackChunk chunk;
    chunk.record = record;
    chunk.offset = offset;
    if (!readIntKey(block, "Id", chunk.id)) failChunk(chunk, "\"Id\" is missing or is not an integer");
    chunk.hasId = true;
    if (!readStringKey(block, "Name", chunk.name)) failChunk(chunk, "\"Name\" is missing or is not a string");
    if (!readIntKey(block, "Size", chunk.size)) failChunk(chunk, "\"Size\" is missing or is not an integer");
    if (chunk.size < 0) failChunk(chunk, "\"Size\" is negative (" + std::to_string(chunk.size) + ")");
    if (!isDescriptorList(block.getObject("Variables")))
        failChunk(chunk, "\"Variables\" is missing or is not a list of variable descriptors");
    std::vector<Properties> descriptors;
    block.get("Variables", descriptors);
    chunk.variables.reserve(descriptors.size());
    for (std::size_t i = 0; i < descriptors.size(); ++i)
        chunk.variables.push_back(readVariableKeys(chunk, descriptors[i], static_cast<int>(i)));
    return chunk;
}

[[noreturn]] void failCutShort(const TrackChunk& chunk, const ChunkVariable& variable, std::uint64_t present) {
    const std::uint64_t declared = std::uint64_t(chunk.size) * std::uint64_t(variable.dataSize);
    failVariable(chunk, variable,
                 "the file ends inside its data (" + std::to_string(declared) + " bytes declared, " +
                     std::to_string(present) + " present)");
}

constexpr std::uint64_t firstPiece = std::uint64_t(1) << 20;

// Reads the separator byte and every variable's data. Data shorter than
// declared is refused: zeros in its place would be points the file never had.
void readChunkData(std::istream& in, std::int64_t fileSize, TrackChunk& chunk) {
    in.get();
    if (fileSize >= 0) {
        const std::istream::pos_type here = in.tellg();
        std::uint64_t remaining =
            here == std::istream::pos_type(-1)
                ? 0
                : std::uint64_t(std::max<std::int64_t>(0, fileSize - static_cast<std::int64_t>(here)));
        in.clear(in.rdstate() & ~std::ios::failbit);
        for (const ChunkVariable& variable : chunk.variables) {
            const std::uint64_t length = std::uint64_t(chunk.size) * std::uint64_t(variable.dataSize);
            if (length > remaining) failCutShort(chunk, variable, remaining);
            remaining -= length;
        }
    }
    for (ChunkVariable& variable : chunk.variables) {
        const std::uint64_t length = std::uint64_t(chunk.size) * std::uint64_t(variable.dataSize);
        // A known size has been checked against the claim above. From a pipe
        // it is not known beforehand: the buffer then grows with the bytes
        // that arrive, at most doubling, so that a claim of gigabytes
        // followed by a few bytes costs a few bytes.
        if (fileSize >= 0) variable.data.reserve(static_cast<std::size_t>(length));
        std::uint64_t present = 0;
        while (present < length) {
            const std::uint64_t piece = std::min(length - present, std::max<std::uint64_t>(present, firstPiece));
            variable.data.resize(static_cast<std::size_t>(present + piece));
            in.read(variable.data.data() + present, static_cast<std::streamsize>(piece));
            present += static_cast<std::uint64_t>(in.gcount());
            if (static_cast<std::uint64_t>(in.gcount()) != piece) failCutShort(chunk, variable, present);
        }
    }
}

}  // namespace

bool readProperties(std::ifstream& in, Properties& properties) {
    properties.clear();
    in >> properties;
    return !properties.getMap()->empty();
}

void readData(std::ifstream& in, int count, int size, std::vector<char, std::allocator<char>>& buffer) {
    const std::size_t length = static_cast<std::uint32_t>(count) * static_cast<std::uint32_t>(size);
    buffer.clear();
    buffer.resize(length, 0);
    in.read(buffer.data(), static_cast<std::streamsize>(length));
}

void readTrackFile(std::istream& in, TranslationState& state, std::ostream& diagnostics, ProgressLine* progress) {
    const std::int64_t fileSize = streamSize(in);
    Properties block;
    std::string parseError;
    std::uint64_t points = 0;
    for (std::uint64_t record = 1;; ++record) {
        const std::istream::pos_type start = in.tellg();
        const std::int64_t offset = start == std::istream::pos_type(-1) ? -1 : static_cast<std::int64_t>(start);
        if (progress != nullptr) progress->update(offset, fileSize, points);
        const BlockRead read = readBlock(in, block, parseError);
        if (read == BlockRead::End || (read == BlockRead::Block && block.getMap()->empty())) return;
        if (read == BlockRead::Unreadable) {
            if (progress != nullptr) progress->clear();
            const std::string where =
                offset >= 0 ? "byte " + std::to_string(offset) : "record " + std::to_string(record);
            diagnostics << "Warning:  reading stopped at " << where << ": " << parseError
                        << "; later records were not translated." << std::endl;
            return;
        }
        if (!isSteadyTrackChunk(block)) continue;

        state.foundSteadyChunk = true;
        TrackChunk chunk = readChunkKeys(block, record, offset);
        Group& group = findTagGroup(state, chunk.name);
        readChunkData(in, fileSize, chunk);
        assembleChunk(state, group, chunk);
        points += static_cast<std::uint64_t>(chunk.size);
    }
}
