#include "ChunkSource.h"

#include <algorithm>
#include <stdexcept>
#include <utility>

#include <properties/PropertyParser.h>

#include "TrackError.h"

namespace {

constexpr std::streamoff noPosition = -1;

// Where the source stands now, or -1 when it cannot seek (a pipe).
std::streamoff startOf(std::istream& input) {
    return input.rdbuf()->pubseekoff(0, std::ios_base::cur, std::ios_base::in);
}

// The size of a seekable input, so that a chunk that claims more data than
// the file holds is refused before its buffers are made.
std::int64_t sizeOf(std::streambuf& buffer, std::streamoff start) {
    if (start == noPosition) return -1;
    const std::streamoff end = buffer.pubseekoff(0, std::ios_base::end, std::ios_base::in);
    buffer.pubseekpos(start, std::ios_base::in);
    return end == noPosition ? -1 : static_cast<std::int64_t>(end);
}

// Reads the keys that a translation needs, or, with DataLocation checks,
// only those that locate the data: the others are then read without a
// warning where they are present and usable, and left as they are otherwise.
class KeyReader {
public:
    explicit KeyReader(ChunkSource::Checks checks) : all(checks == ChunkSource::Checks::All) {}

    // A key every translation reads; missing, it is a fault only with All.
    bool readInt(const Properties& block, const std::string& key, std::int32_t& value) const {
        return all ? readIntKey(block, key, value) : block.hasName(key) && readIntKey(block, key, value);
    }
    bool readString(const Properties& block, const std::string& key, std::string& value) const {
        return all ? readStringKey(block, key, value) : block.hasName(key) && readStringKey(block, key, value);
    }
    // Whether a key that is not needed to locate the data must be usable.
    bool requiresEveryKey() const { return all; }

private:
    bool all;
};

const PropertyObject* variablesOf(const Properties& block, const KeyReader& keys) {
    if (!keys.requiresEveryKey() && !block.hasName("Variables")) return nullptr;
    return block.getObject("Variables");
}

ChunkVariable readVariableKeys(const TrackChunk& chunk, const Properties& descriptor, int index,
                               const KeyReader& keys) {
    ChunkVariable variable;
    variable.index = index;
    variable.descriptor = descriptor;
    // The name labels the messages below whenever the descriptor has one.
    if (descriptor.hasName("Name")) readStringKey(descriptor, "Name", variable.name);

    if (!keys.readInt(descriptor, "DataSize", variable.dataSize))
        failVariable(chunk, variable, intKeyFault(descriptor, "DataSize"));
    if (variable.dataSize < 0)
        failVariable(chunk, variable, "\"DataSize\" is negative (" + std::to_string(variable.dataSize) + ")");
    // The data length is a 32-bit count in the file format.
    variable.dataLength = std::uint64_t(chunk.size) * std::uint64_t(variable.dataSize);
    if (variable.dataLength > 0xffffffffu)
        failVariable(chunk, variable,
                     "the data length \"Size\" " + std::to_string(chunk.size) + " times \"DataSize\" " +
                         std::to_string(variable.dataSize) + " does not fit in 32 bits");
    const bool required = keys.requiresEveryKey();
    if (!keys.readInt(descriptor, "Type", variable.type) && required)
        failVariable(chunk, variable, intKeyFault(descriptor, "Type"));
    if ((variable.kind() == VariableKind::Scalar || variable.kind() == VariableKind::Vector) &&
        !keys.readString(descriptor, "Name", variable.name) && required)
        failVariable(chunk, variable, "\"Name\" is missing or is not a string");
    // Scalars without a tag are common: only a tag that is there must be text.
    if (variable.kind() == VariableKind::Scalar && descriptor.hasName("Tag") &&
        !readStringKey(descriptor, "Tag", variable.tag) && required)
        failVariable(chunk, variable, "\"Tag\" is not a string");
    return variable;
}

// Reads the keys of a steady chunk's block, each checked for presence and
// type, with its sizes checked before any data is read.
TrackChunk readChunkKeys(const Properties& block, std::uint64_t record, std::uint64_t offset, const KeyReader& keys) {
    TrackChunk chunk;
    chunk.record = record;
    chunk.offset = offset;
    const bool required = keys.requiresEveryKey();
    chunk.hasId = keys.readInt(block, "Id", chunk.id);
    if (!chunk.hasId && required) failChunk(chunk, intKeyFault(block, "Id"));
    if (!keys.readString(block, "Name", chunk.name) && required)
        failChunk(chunk, "\"Name\" is missing or is not a string");
    if (!keys.readInt(block, "Size", chunk.size)) failChunk(chunk, intKeyFault(block, "Size"));
    if (chunk.size < 0) failChunk(chunk, "\"Size\" is negative (" + std::to_string(chunk.size) + ")");
    if (!isDescriptorList(variablesOf(block, keys)))
        failChunk(chunk, "\"Variables\" is missing or is not a list of variable descriptors");
    std::vector<Properties> descriptors;
    block.get("Variables", descriptors);
    chunk.variables.reserve(descriptors.size());
    for (std::size_t i = 0; i < descriptors.size(); ++i)
        chunk.variables.push_back(readVariableKeys(chunk, descriptors[i], static_cast<int>(i), keys));
    return chunk;
}

[[noreturn]] void failCutShort(const TrackChunk& chunk, const ChunkVariable& variable, std::uint64_t present) {
    failVariable(chunk, variable,
                 "the file ends inside its data (" + std::to_string(variable.dataLength) + " bytes declared, " +
                     std::to_string(present) + " present)");
}

// Refuses data that runs past the end of a file of known size. Zeros in its
// place would be points the file never had.
void checkDataPresent(const TrackChunk& chunk, std::int64_t size) {
    std::uint64_t remaining =
        size > static_cast<std::int64_t>(chunk.dataOffset) ? std::uint64_t(size) - chunk.dataOffset : 0;
    for (const ChunkVariable& variable : chunk.variables) {
        if (variable.dataLength > remaining) failCutShort(chunk, variable, remaining);
        remaining -= variable.dataLength;
    }
}

constexpr std::uint64_t firstPiece = std::uint64_t(1) << 20;

}  // namespace

bool isSteadyTrackChunk(const Properties& block) {
    return block.hasName("ClassName") && block.getString("ClassName") == "TrackChunk" && block.hasName("Steady") &&
           block.getBool("Steady");
}

ChunkSource::ChunkSource(std::istream& input, Checks checks) : ChunkSource(input, checks, startOf(input)) {}

ChunkSource::ChunkSource(std::istream& input, Checks checks, std::streamoff start)
    : counter(input.rdbuf(), std::uint64_t(std::max<std::streamoff>(0, start))),
      in(&counter),
      checks(checks),
      inputSize(sizeOf(*input.rdbuf(), start)) {}

ChunkSource::Record ChunkSource::next() {
    if (dataPending) passOverData(currentChunk);
    // The record before is let go first: a block may hold strings of any
    // length, and two of them need not be held at once. (Assigning an empty
    // record would keep the old strings' buffers; a swap lets them go.)
    {
        TrackChunk released;
        std::swap(currentChunk, released);
    }
    currentBlock = Properties();
    recordStart = position();
    const BlockRead read = readBlock(in, currentBlock, error);
    if (read == BlockRead::End) return Record::End;
    if (read == BlockRead::Unreadable) {
        recordCount += 1;
        return Record::Unreadable;
    }
    if (currentBlock.getMap()->empty()) return Record::EmptyBlock;
    recordCount += 1;
    if (!isSteadyTrackChunk(currentBlock)) return Record::Other;

    currentChunk = readChunkKeys(currentBlock, recordCount, recordStart, KeyReader(checks));
    currentChunk.dataOffset = position() + 1;
    in.get();  // the separator byte, whatever its value
    std::uint64_t offset = currentChunk.dataOffset;
    for (ChunkVariable& variable : currentChunk.variables) {
        variable.dataOffset = offset;
        offset += variable.dataLength;
    }
    if (seekable()) checkDataPresent(currentChunk, inputSize);
    dataPending = true;
    return Record::SteadyChunk;
}

void ChunkSource::seekTo(std::uint64_t offset) {
    in.clear();
    in.seekg(static_cast<std::streamoff>(offset));
}

void ChunkSource::passOverData(const TrackChunk& chunk) {
    dataPending = false;
    std::uint64_t end = chunk.dataOffset;
    for (const ChunkVariable& variable : chunk.variables) end += variable.dataLength;
    passOverTo(chunk, end);
}

void ChunkSource::passOverTo(const TrackChunk& chunk, std::uint64_t end) {
    if (seekable()) {
        // A chunk of no data may end the file without its separator byte.
        seekTo(std::min(end, std::uint64_t(inputSize)));
        return;
    }
    for (const ChunkVariable& variable : chunk.variables) {
        if (position() >= end) return;
        if (position() < variable.dataOffset + variable.dataLength) discard(chunk, variable);
    }
}

// Discards the rest of the variable's data, from where the input stands.
void ChunkSource::discard(const TrackChunk& chunk, const ChunkVariable& variable) {
    char discarded[1 << 16];
    const std::uint64_t end = variable.dataOffset + variable.dataLength;
    while (position() < end) {
        const std::uint64_t piece = std::min<std::uint64_t>(end - position(), sizeof discarded);
        in.read(discarded, static_cast<std::streamsize>(piece));
        if (static_cast<std::uint64_t>(in.gcount()) != piece)
            failCutShort(chunk, variable, position() - variable.dataOffset);
    }
}

void ChunkSource::readPiece(const TrackChunk& chunk, const ChunkVariable& variable, char* out, std::size_t length,
                            std::uint64_t firstByte) {
    if (seekable()) seekTo(variable.dataOffset + firstByte);
    in.read(out, static_cast<std::streamsize>(length));
    if (static_cast<std::size_t>(in.gcount()) != length)
        failCutShort(chunk, variable, firstByte + static_cast<std::uint64_t>(in.gcount()));
}

void ChunkSource::readPoints(const TrackChunk& chunk, const std::vector<int>& variables, std::uint64_t first,
                             std::size_t count, std::vector<std::vector<char>>& pieces) {
    if (!seekable()) throw std::logic_error("ChunkSource: points are read by their place only from a seekable input");
    pieces.resize(variables.size());
    for (std::size_t k = 0; k < variables.size(); ++k) {
        const ChunkVariable& variable = chunk.variables.at(static_cast<std::size_t>(variables[k]));
        const std::size_t stride = static_cast<std::size_t>(variable.dataSize);
        pieces[k].resize(count * stride);
        readPiece(chunk, variable, pieces[k].data(), pieces[k].size(), first * stride);
    }
}

bool ChunkSource::onlyBlanksFollow() {
    for (;;) {
        const int c = in.peek();
        if (c == std::char_traits<char>::eof()) return true;
        if (c != ' ' && c != '\t' && c != '\r' && c != '\n') return false;
        in.get();
    }
}

void ChunkSource::readData(TrackChunk& chunk) {
    std::vector<int> every(chunk.variables.size());
    for (std::size_t v = 0; v < every.size(); ++v) every[v] = static_cast<int>(v);
    readData(chunk, every);
}

void ChunkSource::readData(TrackChunk& chunk, const std::vector<int>& variables) {
    std::vector<bool> wanted(chunk.variables.size(), false);
    for (const int v : variables) wanted.at(static_cast<std::size_t>(v)) = true;
    if (&chunk == &currentChunk && dataPending) {
        // In order, from where the walk stands.
        dataPending = false;
        for (ChunkVariable& variable : chunk.variables) {
            if (wanted[static_cast<std::size_t>(variable.index)])
                readVariable(chunk, variable);
            else if (seekable())
                seekTo(variable.dataOffset + variable.dataLength);
            else
                discard(chunk, variable);
        }
        return;
    }
    if (!seekable()) throw std::logic_error("ChunkSource: a chunk read earlier cannot be read again from a pipe");
    // The walk goes on from where it stood.
    const std::uint64_t walk = position();
    for (ChunkVariable& variable : chunk.variables) {
        if (!wanted[static_cast<std::size_t>(variable.index)]) continue;
        seekTo(variable.dataOffset);
        readVariable(chunk, variable);
    }
    seekTo(walk);
}

void ChunkSource::readVariable(const TrackChunk& chunk, ChunkVariable& variable) {
    const std::uint64_t length = variable.dataLength;
    variable.data.clear();
    // A known size has been checked against the claim. From a pipe it is not
    // known beforehand: the buffer then grows with the bytes that arrive, at
    // most doubling, so that a claim of gigabytes followed by a few bytes
    // costs a few bytes.
    if (seekable()) variable.data.reserve(static_cast<std::size_t>(length));
    std::uint64_t present = 0;
    while (present < length) {
        const std::uint64_t piece = std::min(length - present, std::max<std::uint64_t>(present, firstPiece));
        variable.data.resize(static_cast<std::size_t>(present + piece));
        in.read(variable.data.data() + present, static_cast<std::streamsize>(piece));
        present += static_cast<std::uint64_t>(in.gcount());
        if (static_cast<std::uint64_t>(in.gcount()) != piece) failCutShort(chunk, variable, present);
    }
}
