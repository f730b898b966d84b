#ifndef OUTPUT_POINTSTORE_H
#define OUTPUT_POINTSTORE_H

#include <cstddef>
#include <cstdint>
#include <functional>
#include <istream>
#include <memory>
#include <vector>

#include "PointWindow.h"
#include "SpillFile.h"
#include "TwoPasses.h"

class WorkQueue;

// The placed points of a track, kept from the second pass until they are
// written, and handed to the writer in windows of output order: in memory
// when they fit the budget, or else in partitions of the output through a
// spill file, each read back into one reused window.
class PointStore : public PointSink {
public:
    // The second pass runs once per round; more than one only where the
    // buffers of every partition together would outgrow the budget.
    virtual unsigned rounds() const { return 1; }
    virtual void beginRound(unsigned round) { (void)round; }
    // After each round: what the round's partitions still buffer goes out.
    virtual void finishPlacing() {}
    // The windows that cover every point in output order, and window k of
    // them, read back where it must be: the window loaded before may then
    // be gone. Each may be loaded any number of times.
    virtual std::size_t windowCount() const = 0;
    virtual const PointWindow& loadWindow(std::size_t k) = 0;
    // The second pass, once per round, over the input `reread` gives again
    // each time; `beginning(round)`, where given, is told of each round first.
    void fill(TrackLayout& layout, const std::function<std::istream&()>& reread, const PlaceOptions& options,
              const std::function<void(unsigned round)>& beginning = nullptr);
    // Calls visit(window) for every window in order. May be called more
    // than once.
    void forEachWindow(const std::function<void(const PointWindow&)>& visit);
    // The most points a window holds.
    virtual std::uint64_t windowCapacity() const = 0;
};

// Every point in one window.
class MemoryStore : public PointStore {
public:
    MemoryStore(const TrackLayout& layout, WorkQueue* queue);
    void take(const PlacedPoints& points) override { window.scatter(points, queue); }
    std::size_t windowCount() const override { return 1; }
    const PointWindow& loadWindow(std::size_t) override { return window; }
    std::uint64_t windowCapacity() const override { return window.capacity(); }

private:
    PointWindow window;
    WorkQueue* queue;
};

// The output cut into partitions: each point is kept, as its place within
// its partition and its values, in blocks of its partition in a spill file;
// each block names the one before it, so that a partition costs no more
// than its last block's offset and the block being filled.
class SpillStore : public PointStore {
public:
    // `starts`: the first point of every partition, from 0, ascending; each
    // holds at most `windowPoints`. `blockBytes`: the buffer of a partition
    // being filled; `pendingRoom`: what all of them may take together.
    SpillStore(const TrackLayout& layout, std::vector<std::uint64_t> starts, std::uint64_t windowPoints,
               std::size_t blockBytes, std::uint64_t pendingRoom);

    unsigned rounds() const override { return roundCount; }
    void beginRound(unsigned round) override;
    void take(const PlacedPoints& points) override;
    void finishPlacing() override;
    std::size_t windowCount() const override { return partitions.size(); }
    const PointWindow& loadWindow(std::size_t k) override;
    std::uint64_t windowCapacity() const override { return window.capacity(); }

private:
    struct Partition {
        std::uint64_t first;
        std::uint64_t end;
        std::unique_ptr<char[]> pending;  // a block being filled, header first; made at its first point
        std::size_t used;                 // bytes of it filled
        std::uint64_t lastBlock;          // the offset of its last block in the spill, or none
    };
    static constexpr std::uint64_t none = ~std::uint64_t(0);
    std::size_t partitionOf(std::uint64_t point);
    void flush(Partition& partition);
    void load(const Partition& partition);

    const TrackLayout& layout;
    std::vector<Partition> partitions;
    const std::size_t blockBytes;
    const std::size_t recordBytes;        // the place within the partition, then a row
    std::vector<std::size_t> rowOffsets;  // of each array's values in a row
    unsigned roundCount = 1;
    std::size_t perRound = 0;
    std::size_t roundFirst = 0;
    std::size_t roundEnd = 0;
    std::size_t last = 0;  // the partition of the point before
    SpillFile spill;
    PointWindow window;
    std::vector<char> rows;  // a piece's points as rows
    std::vector<std::uint64_t> rowNumbers;
    std::vector<ArrayTarget> rowTargets;
};

// A store for the layout's points within `room` bytes: in memory where
// they fit, in partitions through a spill file otherwise. With `wholePaths`,
// no path is cut between two windows (a path larger than the room is
// nevertheless held whole).
std::unique_ptr<PointStore> makeStore(const TrackLayout& layout, std::uint64_t room, WorkQueue* queue,
                                      bool wholePaths = false);

// The first point of every partition of at most `windowPoints` points. With
// `wholePaths`, partitions end where paths end, and a path longer than a
// window is a partition of its own.
std::vector<std::uint64_t> partitionStarts(const PathIndex& index, std::uint64_t windowPoints, bool wholePaths);

#endif
