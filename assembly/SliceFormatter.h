#ifndef ASSEMBLY_SLICEFORMATTER_H
#define ASSEMBLY_SLICEFORMATTER_H

#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <vector>

#include "PointArena.h"
#include "PointFormat.h"
#include "TrackChunk.h"
#include "WorkQueue.h"

// A steady chunk whose points are being formatted: its data, taken over from
// the chunk source, and the columns of its point lines over that data.
struct ChunkLines {
    TrackChunk chunk;
    std::vector<LineColumn> columns;
    const char* parcels = nullptr;  // the parcel-index column
    std::size_t parcelStride = 0;

    std::uint32_t parcelAt(std::size_t point) const { return loadValue<std::uint32_t>(parcels + point * parcelStride); }
};

// The lines of consecutive points of one chunk, written apart into an arena
// of their own.
struct FormattedSlice {
    std::shared_ptr<const ChunkLines> lines;
    std::size_t firstPoint = 0;
    PointArena arena;
    std::vector<PointArena::Handle> handles;  // one per point, in point order
};

// Formats the point lines of steady chunks on the threads of a work queue,
// a slice of points at a time, and hands every slice to its chunk's `take`
// on the calling thread, in file order. A bounded number of slices is in
// flight, so memory stays a few slices per thread whatever the chunks' sizes.
class SliceFormatter {
public:
    using Take = std::function<void(FormattedSlice&)>;

    SliceFormatter(WorkQueue& queue, const PointFormat& format);
    // Drops what is still queued (after an error).
    ~SliceFormatter();

    // Queues every point of the chunk; slices that are ready by now may be
    // handed over during this call.
    void add(std::shared_ptr<const ChunkLines> lines, Take take);
    // Hands over every slice still queued.
    void finish();

private:
    struct Pending {
        std::uint64_t ticket;
        std::shared_ptr<FormattedSlice> slice;
        Take take;
    };
    void handOverOldest();

    WorkQueue& queue;
    const PointFormat& format;
    std::deque<Pending> pending;
};

#endif
