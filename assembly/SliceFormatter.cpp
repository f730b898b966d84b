#include "SliceFormatter.h"

#include <algorithm>

namespace {

void formatSlice(const PointFormat& format, FormattedSlice& slice, std::size_t count, std::size_t lineRoom) {
    const ChunkLines& lines = *slice.lines;
    slice.handles.reserve(count);
    for (std::size_t i = slice.firstPoint; i < slice.firstPoint + count; ++i) {
        char* const line = slice.arena.beginLine(lineRoom);
        const char* const end = format.writeLine(line, lines.columns.data(), lines.columns.size(), i);
        slice.handles.push_back(slice.arena.commitLine(static_cast<std::size_t>(end - line)));
    }
    slice.arena.shrinkToFit();
}

}  // namespace

SliceFormatter::SliceFormatter(WorkQueue& queue, const PointFormat& format) : queue(queue), format(format) {}

SliceFormatter::~SliceFormatter() {
    // The queue drops the jobs not started; each running one holds its
    // slice and chunk itself.
    pending.clear();
}

void SliceFormatter::add(std::shared_ptr<const ChunkLines> lines, Take take) {
    const std::size_t points = static_cast<std::size_t>(lines->chunk.size);
    if (points == 0) return;
    const std::size_t lineRoom = format.lineRoom(lines->columns.data(), lines->columns.size());
    // A slice fills about one arena block, so adopting it copies nothing.
    const std::size_t slicePoints = std::max<std::size_t>(1, PointArena::defaultBlockSize / lineRoom);
    // A few slices a thread keep every thread busy without holding more.
    const std::size_t inFlight = 4 * std::size_t(queue.threads());
    for (std::size_t first = 0; first < points; first += slicePoints) {
        while (pending.size() >= inFlight) handOverOldest();
        const std::size_t count = std::min(slicePoints, points - first);
        auto slice = std::make_shared<FormattedSlice>();
        slice->lines = lines;
        slice->firstPoint = first;
        slice->arena = PointArena(std::min(PointArena::defaultBlockSize, count * lineRoom));
        const PointFormat& pointFormat = format;
        const std::uint64_t ticket =
            queue.add([slice, count, lineRoom, &pointFormat] { formatSlice(pointFormat, *slice, count, lineRoom); });
        pending.push_back(Pending{ticket, std::move(slice), take});
    }
}

void SliceFormatter::handOverOldest() {
    Pending oldest = std::move(pending.front());
    pending.pop_front();
    queue.wait(oldest.ticket);
    oldest.take(*oldest.slice);
}

void SliceFormatter::finish() {
    while (!pending.empty()) handOverOldest();
}
