#ifndef TRACKFILE_TRACKERROR_H
#define TRACKFILE_TRACKERROR_H

#include <cstdint>
#include <stdexcept>
#include <string>

struct TrackChunk;
struct ChunkVariable;

// An error that ends a translation: a fault in the track file, or an output
// that cannot be written. The text is the message without the "Error:  "
// that the translator writes before it; it may span several lines and then
// ends with a line feed.
class TrackError : public std::runtime_error {
public:
    explicit TrackError(const std::string& text) : std::runtime_error(text) {}
};

// A fault in one steady chunk: the message names the chunk, and problem()
// holds what a listing of that chunk shows (the variable, if any, and the
// fault).
class ChunkError : public TrackError {
public:
    ChunkError(const TrackChunk& chunk, const std::string& problem);
    const std::string& problem() const { return chunkProblem; }
    // The chunk's record number and the offset of its block.
    std::uint64_t record() const { return chunkRecord; }
    std::uint64_t offset() const { return chunkOffset; }

private:
    std::string chunkProblem;
    std::uint64_t chunkRecord;
    std::uint64_t chunkOffset;
};

// Text from the file as it is shown in messages: a control byte would act on
// the user's terminal (clear it, set its title), so each one below 0x20, and
// 0x7f, is written as "\x1b" and the like; byte 0, which would end a message
// early where it is handed on as a C string, as "\0". Other bytes stay, so
// that UTF-8 names stay readable.
std::string shownInMessage(const std::string& text);

// Throws TrackError(text).
[[noreturn]] void fail(const std::string& text);
// Throws ChunkError: the chunk's label + ": " + problem + ".".
[[noreturn]] void failChunk(const TrackChunk& chunk, const std::string& problem);
// The same with the variable's label before the problem.
[[noreturn]] void failVariable(const TrackChunk& chunk, const ChunkVariable& variable, const std::string& problem);

#endif
