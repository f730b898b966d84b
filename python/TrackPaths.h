#ifndef PYTHON_TRACKPATHS_H
#define PYTHON_TRACKPATHS_H

#include <cstddef>
#include <cstdint>
#include <istream>
#include <memory>
#include <string>
#include <vector>

#include "MemoryBudget.h"
#include "PointStore.h"
#include "TrackArrays.h"
#include "TrackLayout.h"
#include "WorkQueue.h"

// A track's paths one at a time in the order of its ZRP file, within a
// memory budget. Both passes run when it is made: the points are kept by a
// store, in memory where they fit and otherwise in partitions through a
// spill file, cut only where paths end; afterwards the paths are handed out
// from the windows, each read back as its first path is asked for. Nothing
// here touches Python.
class TrackPaths {
public:
    // One path: its group (from 0), its parcel index, and its values, one
    // array per layout array, over the window that holds them, valid until
    // the next call of next().
    struct Path {
        std::size_t group = 0;
        std::uint32_t parcel = 0;
        std::vector<Array> arrays;
    };

    // Reads a seekable input in both passes within `budgetBytes` (0: the
    // translator's default). Faults are thrown as TrackError with the
    // translator's messages, among them an index of the paths that does not
    // fit the budget; `name` is the input as those messages name it.
    TrackPaths(std::istream& input, const std::string& name, std::uint64_t budgetBytes);
    TrackPaths(const TrackPaths&) = delete;
    TrackPaths& operator=(const TrackPaths&) = delete;

    const TrackLayout& layout() const { return trackLayout; }
    // Why reading stopped early; empty when it did not.
    const std::string& warning() const { return stopped; }
    // The next path, reading its window back where it must; false after the last.
    bool next(Path& path);

private:
    TrackLayout surveyed(std::istream& input, const std::string& name);

    const MemoryBudget budget;
    const std::streampos start;
    std::string stopped;
    TrackLayout trackLayout;
    std::unique_ptr<WorkQueue> queue;
    std::unique_ptr<PointStore> store;
    const PointWindow* window = nullptr;
    std::size_t nextWindow = 0;
    std::uint64_t nextPath = 0;
};

#endif
