#ifndef OUTPUT_TEXTFORMAT_H
#define OUTPUT_TEXTFORMAT_H

#include <cstddef>
#include <cstdint>
#include <functional>
#include <ostream>

#include "BufferedText.h"
#include "LineValue.h"
#include "PathIndex.h"
#include "PointStore.h"
#include "TrackLayout.h"

class WorkQueue;

// A line-oriented output format: what the file holds before the paths,
// before each path, and for each point. The paths come in output order
// (group by group, by ascending parcel index), their points in file order.
class TextFormat {
public:
    virtual ~TextFormat() = default;
    // Text formats write each value in the form it was stored in.
    OutputNeeds needs() const {
        OutputNeeds needs;
        needs.valueKinds = true;
        return needs;
    }
    // Refuses, as a TrackError, what cannot be written, and makes ready what
    // every point needs; once the first pass is over, before anything is
    // written.
    virtual void begin(const TrackLayout& layout) { (void)layout; }
    // The text before the first path.
    virtual void writeHeader(BufferedText& out, const TrackLayout& layout) const = 0;
    // The most bytes one point's text takes, with what may stand before its
    // path and the number formatter's scratch room.
    virtual std::size_t pointRoom(const TrackLayout& layout) const = 0;
    // What stands before a path's points; returns the new end.
    virtual char* writePathStart(char* out, const TrackLayout& layout, const PathIndex::Path& path) const = 0;
    // One point: its values in line order (the position's, then every
    // written variable's); `point` is its number within the path, from 0.
    virtual char* writePoint(char* out, const TrackLayout& layout, const PathIndex::Path& path, std::uint64_t point,
                             const LineValue* values, std::size_t count) const = 0;
};

// The values of the points of a window in line order: the position's, then
// every written variable's.
class LineValues {
public:
    explicit LineValues(const PointWindow& window);
    std::size_t count() const { return columns.size(); }
    // The values of window point `point`, into `values` (room for count()).
    void read(std::uint64_t point, LineValue* values) const {
        for (std::size_t c = 0; c < columns.size(); ++c) {
            const Column& column = columns[c];
            const ValueKind kind =
                column.kinds != nullptr ? static_cast<ValueKind>(column.kinds[point * column.kindStride]) : column.kind;
            values[c] = LineValue{kind, column.type, column.values + point * column.stride};
        }
    }

private:
    // One component of one array.
    struct Column {
        const char* values;
        std::size_t stride;
        const std::uint8_t* kinds;  // null unless the array is tagged
        std::size_t kindStride;
        ValueKind kind;
        ValueType type;
    };
    std::vector<Column> columns;
};

// Writes the text file of the stored points: the header, then every path,
// window after window; the points are formatted in pieces on the threads of
// `queue`, two pieces of about `pieceBytes` a thread at a time, and written
// in order. `progress` is told the points written. Stops early once the
// stream has failed; the caller checks the stream.
void writeText(std::ostream& out, const TrackLayout& layout, PointStore& store, TextFormat& format, WorkQueue& queue,
               std::size_t pieceBytes, const std::function<void(std::uint64_t points)>& progress = nullptr);

#endif
