#include "TrackError.h"

#include "TrackChunk.h"

std::string shownInMessage(const std::string& text) {
    std::string shown;
    shown.reserve(text.size());
    for (const char c : text) {
        if (c == '\0')
            shown += "\\0";
        else
            shown += c;
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
