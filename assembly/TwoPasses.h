#ifndef ASSEMBLY_TWOPASSES_H
#define ASSEMBLY_TWOPASSES_H

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "ChunkSource.h"
#include "TrackLayout.h"

// A track is read in two passes. The first, survey(), makes every check
// that can fail, learns the layout and counts the points of every path; only
// the parcel indexes of the chunks' data are read. The second, place(),
// reads the same input again, checks every chunk against the layout before
// it uses it, and hands each point's values to a sink with the point's place
// in the output. A second pass that meets anything the first did not see
// ends with the one error failInputChanged().

// Told the bytes read so far (of `size`, -1 when unknown) and the points.
using PassProgress = std::function<void(std::uint64_t position, std::int64_t size, std::uint64_t points)>;

struct SurveyOptions {
    bool strict = false;  // a block that does not parse, or records after "{}", end the run
    OutputNeeds needs;
    // Bytes the index of the paths and the groups may hold; 0 for no limit.
    std::uint64_t indexLimit = 0;
    std::size_t pieceBytes = std::size_t(1) << 20;  // the most data read at a time
    std::function<void(const std::string& text)> warn;
    PassProgress progress;
};

// The first pass. Faults are thrown as TrackError with the translator's
// messages; `inputName` names the input in them.
TrackLayout survey(ChunkSource& source, const std::string& inputName, const SurveyOptions& options);

// The values of one column of a chunk's points as a sink takes them: `count`
// values a point of the given kind, `stride` bytes from one point to the
// next, for components [component, component + count) of array `array`.
struct PlacedColumn {
    const char* data;
    std::size_t stride;
    ValueKind kind;
    unsigned count;
    std::size_t array;
    unsigned component;
};

// Consecutive points of one chunk, each with its output index.
struct PlacedPoints {
    std::size_t count;
    const std::uint64_t* places;
    const std::vector<PlacedColumn>& columns;
    // Arrays whose components from the second on the chunk leaves absent.
    const std::vector<std::pair<std::size_t, unsigned>>& absent;
};

// What the second pass hands the placed points to, in file order.
class PointSink {
public:
    virtual ~PointSink() = default;
    virtual void take(const PlacedPoints& points) = 0;
};

struct PlaceOptions {
    std::size_t pieceBytes = std::size_t(1) << 20;  // the most data read at a time
    PassProgress progress;
};

// The second pass, over a seekable input that held what the first pass read.
void place(ChunkSource& source, TrackLayout& layout, PointSink& sink, const PlaceOptions& options);

// Ends a translation whose input differed from one pass to the next (a file
// written while it was read), as a TrackError.
[[noreturn]] void failInputChanged();

#endif
