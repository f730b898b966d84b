#ifndef OUTPUT_TEXTFORMAT_H
#define OUTPUT_TEXTFORMAT_H

#include <cstddef>
#include <cstdint>
#include <ostream>

#include "BufferedText.h"
#include "PointFormat.h"

struct TranslationState;

// One path as a text format writes it.
struct TextPath {
    std::size_t group;     // its group's position among the groups, from 0
    std::uint32_t parcel;  // its parcel index
    std::uint64_t count;   // its points
};

// A line-oriented output format: how a point becomes a line, and what the
// file holds around the lines. The paths come in output order (group by
// group, by ascending parcel index), their lines in file order, whether the
// lines were kept in memory or in spill files.
class TextFormat {
public:
    virtual ~TextFormat() = default;
    virtual const PointFormat& pointFormat() const = 0;
    // Refuses, as a TrackError, what cannot be written; called once the
    // variables are known and before anything is written.
    virtual void check(const TranslationState& state) const { (void)state; }
    // The text before the first path.
    virtual void writeHeader(BufferedText& out, const TranslationState& state) const = 0;
    // What stands before a path's lines.
    virtual void writePathStart(BufferedText& out, const TranslationState& state, const TextPath& path) const = 0;
    // One line of a path, as the point format made it (line feed included);
    // `point` is its number within the path, from 0.
    virtual void writeLine(BufferedText& out, const TranslationState& state, const TextPath& path, std::uint64_t point,
                           const char* line, std::size_t length) const = 0;
};

class WorkQueue;

// Writes the text file of the state's paths, kept in memory by the assembly:
// the header, then every path that holds points; with a queue, runs of paths
// are gathered on its threads. Stops early once the stream has failed; the
// caller checks the stream. The state is not const: each group's paths are
// put in index order in place.
void writeText(std::ostream& out, TranslationState& state, const TextFormat& format, WorkQueue* queue = nullptr);

#endif
