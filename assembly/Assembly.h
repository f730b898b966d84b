#ifndef ASSEMBLY_ASSEMBLY_H
#define ASSEMBLY_ASSEMBLY_H

#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "ParcelTable.h"
#include "PointArena.h"
#include "PointFormat.h"
#include "TrackChunk.h"

// One tag group: the paths of all chunks that share a "Name".
class Group {
public:
    Group() = default;
    Group(const Group&) = delete;
    Group& operator=(const Group&) = delete;

    // Appends a committed line of the arena to the path of `parcel`.
    void addPoint(std::uint32_t parcel, PointArena::Handle line) { paths.add(parcel, line, arena); }
    // Calls visit(points) for every path that holds points, by ascending
    // parcel index.
    template <typename Visit>
    void forEachPath(Visit visit) {
        paths.forEachPath([&](std::uint32_t, const PointList& points) { visit(points); });
    }

    std::int32_t number = 0;  // 1-based position of tagName in tagNames
    std::string tagName;
    PointArena arena;  // the text of every point line of the group
    // Paths by parcel index. Only indexes that a point reached have an entry,
    // so memory follows the number of points, whatever the indexes are.
    ParcelTable paths;
};

// Everything the translation has gathered, from the first steady chunk until
// the ZRP file has been written.
struct TranslationState {
    std::vector<std::string> tagNames;                        // distinct chunk names, first appearance first
    std::vector<std::unique_ptr<Group>> groups;               // entry k is the group of tagNames[k]
    std::unordered_map<std::string, std::size_t> groupIndex;  // tag name -> k
    std::vector<std::string> variableNames;                   // fixed by the first steady chunk
    bool firstChunk = true;
    bool foundSteadyChunk = false;
    bool foundPosition = false;
    std::int32_t positionVariable = -1;
    std::int32_t parcelVariable = -1;
};

// The group of chunks named `name`, created (and numbered) at its first use.
Group& findTagGroup(TranslationState& state, const std::string& name);

// A scalar named "Parcel Index" or tagged "ParcelId".
bool isParcelIndexVariable(const ChunkVariable& variable);
// Variables of types 0 and 2, other than the position and parcel-index
// variables: they are written with every point after the position.
bool isWrittenVariable(const TranslationState& state, const ChunkVariable& variable);

// First steady chunk: fixes variableNames and the places of the position and
// parcel-index variables.
void analyseVariables(TranslationState& state, const TrackChunk& chunk);
// Later steady chunks: must declare the first chunk's variables in its order.
void checkVariables(const TranslationState& state, const TrackChunk& chunk);
// The parcel-index variable of a chunk that has passed the analysis or the
// check.
const ChunkVariable& parcelVariableOf(const TranslationState& state, const TrackChunk& chunk);
// Checks the data types of a chunk's point values (the parcel index, the
// position and every written variable, in that order) and returns the
// columns of a point line: the position, then the written variables, over
// the chunk's data as read so far.
std::vector<LineColumn> pointColumns(const TranslationState& state, const TrackChunk& chunk);

// Builds one point line per point in `format` and adds it to the path of its
// parcel.
void addPoints(const TranslationState& state, Group& group, const TrackChunk& chunk, const PointFormat& format);

// The analysis (first chunk) or the check (later ones); clears firstChunk.
void checkChunkVariables(TranslationState& state, const TrackChunk& chunk);

// The analysis or the check, then the points; clears firstChunk.
void assembleChunk(TranslationState& state, Group& group, const TrackChunk& chunk, const PointFormat& format);

#endif
