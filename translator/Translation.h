#ifndef TRANSLATOR_TRANSLATION_H
#define TRANSLATOR_TRANSLATION_H

#include <cstdint>
#include <functional>
#include <istream>
#include <ostream>
#include <string>
#include <vector>

class ChunkSource;
class PathIndex;
class PointFormat;
class ProgressLine;
class WorkQueue;
class Group;
struct LineColumn;
struct TrackChunk;
struct TranslationState;

// The formats a translation writes.
enum class OutputFormat {
    Zrp,  // the ZRP particle-path text
    Vtp,  // VTK XML PolyData, values in binary
    Csv   // one row per point, values that read back exactly
};

// What a run is asked to do besides reading and writing.
struct TranslationOptions {
    OutputFormat format = OutputFormat::Zrp;
    std::uint64_t memoryBudget = 0;  // bytes the translation may hold; 0 for the default
    unsigned threads = 0;            // threads that format point lines; 0 for one per core
    bool strict = false;             // a block that does not parse is an error, not a warning
    bool showProgress = false;       // keep a progress line on the diagnostics stream
};

// The memory budget of a run: the one asked for, or by default half the
// physical memory.
std::uint64_t memoryBudgetOf(const TranslationOptions& options);

// Walks the chunk source and hands every steady chunk, with its group, to
// `take`. Reading ends at the end of the records; a block that does not
// parse (trailing bytes of a stored file) gets one warning line on
// `diagnostics`, or, when strict, ends the run as a TrackError. Faults are
// thrown as TrackError. `progress`, when given, is offered the position at
// every record. After the walk, state.foundSteadyChunk tells whether there
// was any steady chunk.
void walkTrack(ChunkSource& source, TranslationState& state, std::ostream& diagnostics, bool strict,
               ProgressLine* progress, const std::function<void(TrackChunk&, Group&)>& take);

// Thrown by assembleTrack when the lines it holds outgrow its memory budget.
struct MemoryBudgetExceeded {};

// The stages of a one-pass translation, wired: the chunk source's steady
// chunks go to the assembly, which keeps their points as lines of `format`
// in `state`. The lines are formatted on the threads of `queue` (on this
// thread alone without one). A memory budget other than 0 bounds the bytes
// the lines and paths may hold.
void assembleTrack(ChunkSource& source, TranslationState& state, const PointFormat& format, std::ostream& diagnostics,
                   ProgressLine* progress = nullptr, bool strict = false, WorkQueue* queue = nullptr,
                   std::uint64_t memoryBudget = 0);

// Shown every steady chunk of a first pass once it has passed every check,
// with its point columns (none for a chunk without points, whose data types
// are not checked); the data is not read yet.
using ChunkInspector = std::function<void(const TrackChunk&, const std::vector<LineColumn>&)>;

// The first pass of a translation in two passes: every check of
// assembleTrack, and the points of every path counted in `index`, which is
// then finished. Only the parcel indexes are read of the chunks' data.
// `inspect`, when given, sees every chunk.
void indexTrack(ChunkSource& source, TranslationState& state, PathIndex& index, std::ostream& diagnostics,
                ProgressLine* progress = nullptr, bool strict = false, const ChunkInspector& inspect = nullptr);

// Ends a translation in several passes whose input differed from one pass
// to the next (a file written while it was read): as a TrackError.
[[noreturn]] void failInputChanged();

// How a run ended.
struct TranslationOutcome {
    int status = 0;                 // the exit status
    bool outputUnopenable = false;  // the named output cannot be written; status is then 1
};

// Runs a whole translation on an opened track stream and never ends the
// process: reads every record, then writes the output file to outputPath
// (followed by the " written." line on standardOutput), or to
// standardOutput when outputPath is null. Input, output and memory errors are
// written to `diagnostics` and give status 1.
TranslationOutcome translateTrack(std::istream& input, const std::string& inputName, const char* outputPath,
                                  std::ostream& standardOutput, std::ostream& diagnostics,
                                  const TranslationOptions& options = TranslationOptions());

#endif
