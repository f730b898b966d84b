#include "TrackError.h"

#include "TrackChunk.h"

std::string shownInMessage(const std::string& text) {
    static const char hexDigits[] = "0123456789abcdef";
    std::string shown;
    shown.reserve(text.size());
    for (const char c : text) {
        const unsigned char byte = static_cast<unsigned char>(c);
        if (byte == 0) {
            shown += "\\0";
        } else if (byte < 0x20 || byte == 0x7f) {
            shown += "\\x";
            shown += hexDigits[byte >> 4];
            shown += hexDigits[byte & 0xf];
        } else {
            shown += c;
        }
    }
    return shown;
}

ChunkError::ChunkError(const TrackChunk& chunk, const std::string& problem)
    : TrackError(shownInMessage(chunkLabel(chunk) + ": " + problem + ".")),
      chunkProblem(shownInMessage(problem)),
      chunkRecord(chunk.record),
      chunkOffset(chunk.offset) {}

void fail(const std::string& text) {
    throw TrackError(shownInMessage(text));
}

void failChunk(const TrackChunk& chunk, const std::string& problem) {
    throw ChunkError(chunk, problem);
}

void failVariable(const TrackChunk& chunk, const ChunkVariable& variable, const std::string& problem) {
    failChunk(chunk, variableLabel(variable) + ": " + problem);
}
