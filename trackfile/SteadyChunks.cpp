#include "SteadyChunks.h"

#include "TrackError.h"

SteadyChunks::SteadyChunks(ChunkSource& source, Warn warn, bool strict)
    : source(source), warn(std::move(warn)), strict(strict) {}

TrackChunk* SteadyChunks::next() {
    for (;;) {
        const ChunkSource::Record record = source.next();
        switch (record) {
            case ChunkSource::Record::SteadyChunk: return &source.chunk();
            case ChunkSource::Record::Other: continue;
            case ChunkSource::Record::End:
            case ChunkSource::Record::EmptyBlock:
            case ChunkSource::Record::Unreadable: break;
        }
        ending = record;
        endingOffset = source.recordOffset();
        const std::string at = std::to_string(endingOffset);
        if (record == ChunkSource::Record::Unreadable) {
            if (strict) fail("the block at byte " + at + " does not parse: " + source.parseError() + ".");
            if (warn)
                warn("reading stopped at byte " + at + ": " + shownInMessage(source.parseError()) +
                     "; later records were not read.");
        } else if (record == ChunkSource::Record::EmptyBlock && !source.onlyBlanksFollow()) {
            // "{}" ends the records like the end of the input; what follows
            // it is never read.
            if (strict) fail("the empty block \"{}\" at byte " + at + " ends the records before the end of the input.");
            if (warn) warn("the empty block \"{}\" at byte " + at + " ends the records; later records were not read.");
        }
        return nullptr;
    }
}
