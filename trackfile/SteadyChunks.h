#ifndef TRACKFILE_STEADYCHUNKS_H
#define TRACKFILE_STEADYCHUNKS_H

#include <cstdint>
#include <functional>
#include <string>

#include "ChunkSource.h"

// The record loop of every reader of a whole track: its steady track chunks
// in file order, every other record passed over. The records end at the end
// of the input, at an empty block "{}", or at bytes that do not parse as a
// block. Where such an end leaves records unread, `warn` is told once, or,
// when `strict`, the reading ends as a TrackError.
class SteadyChunks {
public:
    using Warn = std::function<void(const std::string& text)>;

    SteadyChunks(ChunkSource& source, Warn warn, bool strict);

    // The next steady chunk, its keys checked and its data unread; null at
    // the end of the records.
    TrackChunk* next();

    // How and where the records ended, once next() has returned null: a
    // second reading of the same input ends the same way.
    ChunkSource::Record end() const { return ending; }
    std::uint64_t endOffset() const { return endingOffset; }

private:
    ChunkSource& source;
    const Warn warn;
    const bool strict;
    ChunkSource::Record ending = ChunkSource::Record::End;
    std::uint64_t endingOffset = 0;
};

#endif
