#ifndef TRACKFILE_CHUNKSOURCE_H
#define TRACKFILE_CHUNKSOURCE_H

#include <algorithm>
#include <cstdint>
#include <istream>
#include <string>
#include <vector>

#include <properties/Properties.h>

#include "CountingBuffer.h"
#include "TrackChunk.h"

// The records of a track file, one at a time: every program that reads track
// files walks them here, with one set of checks and messages.
//
// A record is a property block; a steady track chunk ("ClassName"
// "TrackChunk", "Steady" true) continues with one separator byte and the
// data of its variables, "Size" * "DataSize" bytes each, back to back. Every
// other record is passed over by its block. The records end at the end of the
// input, at the empty block "{}", or at bytes that do not parse as a block.
//
// Faults in a steady chunk's keys or data are thrown as ChunkError. The
// input may be a file or a pipe: offsets are counted, not asked of the
// stream, and a file's size lets a chunk that claims more data than the file
// holds be refused before any of it is read.
class ChunkSource {
public:
    // Which keys of a steady chunk are checked.
    enum class Checks {
        All,          // every key a translation reads, each one required
        DataLocation  // only what locates the data; other keys are read where they are usable
    };

    // What next() found.
    enum class Record {
        SteadyChunk,  // chunk() holds its keys; its data is read by readData or passed over by next()
        Other,        // any other record: block() holds it
        EmptyBlock,   // "{}": the records end here, whatever follows
        End,          // the end of the input
        Unreadable    // bytes that do not parse as a block: the records end here; parseError() says why
    };

    explicit ChunkSource(std::istream& input, Checks checks = Checks::All);
    ChunkSource(const ChunkSource&) = delete;
    ChunkSource& operator=(const ChunkSource&) = delete;

    // Reads the next record, first passing over the data of the chunk found
    // before unless it has been read.
    Record next();

    // The record next() found: its number (from 1; for Unreadable the number
    // it would have had) and the offset of its block.
    std::uint64_t recordNumber() const { return recordCount; }
    std::uint64_t recordOffset() const { return recordStart; }
    const Properties& block() const { return currentBlock; }
    TrackChunk& chunk() { return currentChunk; }
    const std::string& parseError() const { return error; }

    // Reads every variable's data into the chunk: the chunk next() found, or
    // one found earlier (by its offsets; only from a seekable input), after
    // which the walk goes on where it stood.
    void readData(TrackChunk& chunk);
    // The same for the listed variables only (by their index in the chunk);
    // the others are passed over and keep no data.
    void readData(TrackChunk& chunk, const std::vector<int>& variables);

    // Reads one variable of the chunk next() found, from a pipe as well, in
    // pieces of at most `piecePoints` points: visit(data, firstPoint, count)
    // sees each piece in turn, in a buffer that is reused. The other
    // variables are passed over. Memory follows the piece, not the chunk.
    template <typename Visit>
    void readColumn(const TrackChunk& chunk, int variable, std::size_t piecePoints, Visit visit);
    // Reads points [first, first + count) of the listed variables of the
    // chunk next() found into `pieces`, one buffer each, every point
    // "DataSize" bytes after the one before; only from a seekable input.
    void readPoints(const TrackChunk& chunk, const std::vector<int>& variables, std::uint64_t first, std::size_t count,
                    std::vector<std::vector<char>>& pieces);

    // After an empty block: whether anything but blanks follows it. Reads on
    // to the first byte that is not blank.
    bool onlyBlanksFollow();

    // Bytes of the input consumed so far.
    std::uint64_t position() const { return counter.consumed(); }
    // The input's size; -1 when it cannot be known beforehand (a pipe).
    std::int64_t size() const { return inputSize; }
    bool seekable() const { return inputSize >= 0; }

private:
    ChunkSource(std::istream& input, Checks checks, std::streamoff start);
    void passOverData(const TrackChunk& chunk);
    // Passes over the chunk's data up to byte `end`, from where the input stands.
    void passOverTo(const TrackChunk& chunk, std::uint64_t end);
    void discard(const TrackChunk& chunk, const ChunkVariable& variable);
    void readPiece(const TrackChunk& chunk, const ChunkVariable& variable, char* out, std::size_t length,
                   std::uint64_t firstByte);
    void readVariable(const TrackChunk& chunk, ChunkVariable& variable);
    void seekTo(std::uint64_t offset);

    CountingBuffer counter;
    std::istream in;
    const Checks checks;
    const std::int64_t inputSize;
    std::uint64_t recordCount = 0;
    std::uint64_t recordStart = 0;
    Properties currentBlock;
    TrackChunk currentChunk;
    bool dataPending = false;  // currentChunk's data lies unread ahead
    std::string error;
    std::vector<char> column;  // the piece readColumn hands out
};

template <typename Visit>
void ChunkSource::readColumn(const TrackChunk& chunk, int index, std::size_t piecePoints, Visit visit) {
    const ChunkVariable& variable = chunk.variables.at(static_cast<std::size_t>(index));
    const std::size_t stride = static_cast<std::size_t>(variable.dataSize);
    const std::uint64_t points = static_cast<std::uint64_t>(chunk.size);
    if (stride == 0 || points == 0) return;
    if (!seekable()) passOverTo(chunk, variable.dataOffset);
    for (std::uint64_t first = 0; first < points; first += piecePoints) {
        const std::size_t count = static_cast<std::size_t>(std::min<std::uint64_t>(piecePoints, points - first));
        column.resize(count * stride);
        readPiece(chunk, variable, column.data(), column.size(), first * stride);
        visit(static_cast<const char*>(column.data()), first, count);
    }
}

// "ClassName" is "TrackChunk" and "Steady" is true: only such records carry data.
bool isSteadyTrackChunk(const Properties& block);

#endif
