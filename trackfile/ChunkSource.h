#ifndef TRACKFILE_CHUNKSOURCE_H
#define TRACKFILE_CHUNKSOURCE_H

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

    // Bytes of the input consumed so far.
    std::uint64_t position() const { return counter.consumed(); }
    // The input's size; -1 when it cannot be known beforehand (a pipe).
    std::int64_t size() const { return inputSize; }
    bool seekable() const { return inputSize >= 0; }

private:
    ChunkSource(std::istream& input, Checks checks, std::streamoff start);
    void passOverData(const TrackChunk& chunk);
    void discard(const TrackChunk& chunk, const ChunkVariable& variable);
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
};

// "ClassName" is "TrackChunk" and "Steady" is true: only such records carry data.
bool isSteadyTrackChunk(const Properties& block);

#endif
