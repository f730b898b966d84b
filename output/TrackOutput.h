#ifndef OUTPUT_TRACKOUTPUT_H
#define OUTPUT_TRACKOUTPUT_H

#include <cstdint>
#include <functional>
#include <memory>
#include <ostream>

#include "OutputFile.h"
#include "PointStore.h"
#include "TrackLayout.h"

class WorkQueue;

// An output file of a track: what it needs of the layout, what it refuses,
// and how it writes the stored points. The two passes are the same for
// every output; only this differs.
class TrackOutput {
public:
    using Progress = std::function<void(std::uint64_t pointsWritten)>;

    virtual ~TrackOutput() = default;
    virtual OutputNeeds needs() const = 0;
    // Refuses, as a TrackError, what this output cannot hold; called once
    // the first pass is over, before anything is written.
    virtual void begin(const TrackLayout& layout) = 0;
    // Writes the file to `out`, formatting on the threads of `queue` about
    // `pieceBytes` a thread at a time; stops early once the stream has
    // failed, which the caller checks.
    virtual void write(std::ostream& out, const TrackLayout& layout, PointStore& store, WorkQueue& queue,
                       std::size_t pieceBytes, const Progress& progress) = 0;

    // An output that a library writes by the file's name (HDF5) rather than
    // to a stream: writeNamed() is called in place of write(), holding about
    // `pieceBytes` of its own at a time, and a run without an output file
    // is refused. Failures end the run as TrackErrors.
    virtual bool writesByName() const { return false; }
    virtual void writeNamed(const OutputFile::Named& file, const TrackLayout& layout, PointStore& store,
                            std::size_t pieceBytes, const Progress& progress);
};

// The formats a translation writes.
enum class OutputFormat {
    Zrp,    // the ZRP particle-path text
    Vtp,    // VTK XML PolyData, values in binary
    Csv,    // one row per point, values that read back exactly
    VtkHdf  // VTK's HDF5 layout of an unstructured grid
};

std::unique_ptr<TrackOutput> makeOutput(OutputFormat format);

#endif
