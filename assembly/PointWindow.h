#ifndef ASSEMBLY_POINTWINDOW_H
#define ASSEMBLY_POINTWINDOW_H

#include <cstddef>
#include <cstdint>
#include <vector>

#include "LargeBuffer.h"
#include "TrackLayout.h"
#include "TwoPasses.h"

class WorkQueue;

// Where the values of one array go: point k's components begin `pointStride`
// bytes after point k - 1's, and its kinds (of a tagged array) likewise.
struct ArrayTarget {
    char* values = nullptr;
    std::size_t pointStride = 0;
    std::uint8_t* kinds = nullptr;  // null unless the array is tagged
    std::size_t kindStride = 0;
};

// Copies the values of points [begin, end) of `points` to their places in
// the targets, one per layout array: point i goes to place places[i] - first
// when that is below `count`, and is passed over otherwise. Values are
// converted to the array's type, which holds them exactly.
void scatterPoints(const TrackLayout& layout, const PlacedPoints& points, std::size_t begin, std::size_t end,
                   std::uint64_t first, std::uint64_t count, const std::vector<ArrayTarget>& targets);

// The layout's arrays for the output points [first, first + count): one
// buffer an array, point after point, components side by side, in the
// array's type, and the kinds of a tagged array's values beside it.
class PointWindow {
public:
    // Room for `capacity` points in memory of its own.
    PointWindow(const TrackLayout& layout, std::uint64_t capacity);
    // Over buffers that the caller keeps, one an array, for `capacity`
    // points; tags are not kept.
    PointWindow(const TrackLayout& layout, std::uint64_t capacity, const std::vector<char*>& buffers);

    const TrackLayout& layout() const { return trackLayout; }
    std::uint64_t capacity() const { return room; }
    std::uint64_t first() const { return firstPoint; }
    std::uint64_t count() const { return pointCount; }
    // Makes the window hold points [first, first + count), count <= capacity.
    void setRange(std::uint64_t first, std::uint64_t count);

    // The values of point `point` (from first()) of an array.
    const char* values(std::size_t array) const { return targets[array].values; }
    const std::uint8_t* kinds(std::size_t array) const { return targets[array].kinds; }
    const std::vector<ArrayTarget>& arrays() const { return targets; }
    // Bytes the window holds.
    std::uint64_t memoryUsed() const { return memory.size(); }

    // Takes the values of the placed points that fall inside the window,
    // split among the threads of `queue` when there are many.
    void scatter(const PlacedPoints& points, WorkQueue* queue = nullptr);

private:
    const TrackLayout& trackLayout;
    std::uint64_t room;
    std::uint64_t firstPoint = 0;
    std::uint64_t pointCount = 0;
    LargeBuffer memory;
    std::vector<ArrayTarget> targets;
};

// A point sink that scatters into a window.
class WindowSink : public PointSink {
public:
    WindowSink(PointWindow& window, WorkQueue* queue) : window(window), queue(queue) {}
    void take(const PlacedPoints& points) override { window.scatter(points, queue); }

private:
    PointWindow& window;
    WorkQueue* queue;
};

#endif
