#ifndef ASSEMBLY_TRACKLAYOUT_H
#define ASSEMBLY_TRACKLAYOUT_H

#include <cstddef>
#include <cstdint>
#include <deque>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "ChunkSource.h"
#include "DataType.h"
#include "PathIndex.h"
#include "TrackChunk.h"

// What the first pass over a track learns, and the second pass is held to:
// the tag groups, the variables of the first steady chunk with the output
// arrays they make, the element types every array was seen with, and the
// paths. Every output reads it; none keeps a rule of its own about types.

// How one value was stored in the file. Text outputs write each in its own
// form; Absent stands for y and z of a scalar position among vector ones.
enum class ValueKind : std::uint8_t { Absent, Unsigned4, Float4, Float8 };

// The type in which an output array keeps its values.
enum class ValueType : std::uint8_t { UInt32, Float32, Float64 };
std::size_t valueSize(ValueType type);

// What an output needs of the arrays beyond what the file gives them.
struct OutputNeeds {
    bool floatingPosition = false;  // positions of a floating type (VTK points)
    bool vectorPosition = false;    // three components even where every position is a scalar
    bool valueKinds = false;        // each value's own kind where an array's values differ (text)
};

// The kinds of values an array has been given.
class KindSet {
public:
    void add(ValueKind kind) { bits |= 1u << static_cast<unsigned>(kind); }
    bool has(ValueKind kind) const { return (bits >> static_cast<unsigned>(kind) & 1) != 0; }
    bool empty() const { return bits == 0; }
    // The one kind of a set that holds exactly one besides Absent; Absent otherwise.
    ValueKind single() const;
    void merge(const KindSet& other) { bits |= other.bits; }

private:
    unsigned bits = 0;
};

// An array of one value (or three) a point: the position, or a written
// variable of the first steady chunk.
struct LayoutArray {
    std::string name;         // the variable's "Name" in the first chunk
    int variable = 0;         // its place in the first chunk's "Variables", from 0
    unsigned components = 1;  // 3 for a vector
    KindSet seen;             // the kinds chunks with points gave its values
    KindSet declared;         // the kinds chunks without points declare
    // Set once the first pass is over, by one rule (resolveTypes):
    ValueType type = ValueType::Float64;
    bool tagged = false;                 // its values came in several kinds: each keeps its own
    ValueKind kind = ValueKind::Float8;  // the kind of every value, where not tagged

    // The bytes of one point's values in the array's type.
    std::size_t rowBytes() const { return components * valueSize(type); }
};

// One copy of a chunk's values into an array: `count` consecutive values of
// the variable's element, from value `first` on, to components
// [component, component + count) of the array.
struct ValueCopy {
    int variable;
    unsigned first;
    unsigned count;
    ValueKind kind;
    std::size_t array;
    unsigned component;
};

// The values of a chunk's points as the arrays take them: the copies, and
// per array the components the chunk leaves absent (y and z of a scalar
// position among vector ones).
struct ChunkValues {
    std::vector<ValueCopy> copies;
    std::vector<std::pair<std::size_t, unsigned>> absent;  // array and first absent component, through the last
};

class TrackLayout {
public:
    // Groups.
    std::size_t groupCount() const { return tagNames.size(); }
    const std::string& tagName(std::size_t group) const { return tagNames[group]; }
    const std::deque<std::string>& tags() const { return tagNames; }
    // The group of chunks named `name`, made (and numbered) at its first use.
    std::size_t groupFor(const std::string& name);
    // The group of that name; false when there is none.
    bool findGroup(const std::string& name, std::size_t& group) const;
    // Bytes the groups' names and their table hold.
    std::uint64_t groupMemory() const { return groupBytes; }

    // Variables, fixed by the first steady chunk.
    bool hasVariables() const { return positionVariable >= 0; }
    // The names of the ZRP file: each written scalar, and each vector as
    // three names with -u, -v and -w.
    const std::vector<std::string>& variableNames() const { return outputNames; }
    // The position first, then the written variables in the first chunk's order.
    const std::vector<LayoutArray>& arrays() const { return outputArrays; }
    // The first chunk: fixes the variables and their arrays.
    void takeFirstChunk(const TrackChunk& chunk);
    // A later chunk: must declare the first chunk's variables in its order,
    // or it is refused with the "Variable names mismatch." lines.
    void checkVariables(const TrackChunk& chunk) const;
    // The parcel-index variable of a chunk that has passed the checks.
    const ChunkVariable& parcelVariable(const TrackChunk& chunk) const;
    // Variables of types 0 and 2 other than the position and the parcel
    // index are written.
    bool isWritten(const ChunkVariable& variable) const;

    // The copies that take a chunk's point values into the arrays, after
    // checking the data types of its parcel index, position and written
    // variables (a chunk with points only; its data need not be read).
    ChunkValues valuesOf(const TrackChunk& chunk) const;
    // Notes the kinds of a chunk's values: seen, for a chunk with points;
    // declared, where they can be read, for one without.
    void noteKinds(const ChunkValues& values);
    void noteDeclaredKinds(const TrackChunk& chunk);
    // Whether every value of these copies is of a kind its array was seen
    // with, so that the array keeps it exactly.
    bool fits(const ChunkValues& values) const;

    // After the first pass: each array's type, by the one rule.
    void resolveTypes(const OutputNeeds& needs);
    // Bytes one point takes in the arrays, tags included.
    std::size_t pointBytes() const;

    PathIndex index;

    // What the first pass read, for the second to compare: the steady
    // chunks, a digest of their keys, and where the records ended.
    struct Reading {
        std::uint64_t chunks = 0;
        std::uint64_t digest = 0;
        ChunkSource::Record end = ChunkSource::Record::End;
        std::uint64_t endOffset = 0;
        bool operator==(const Reading& other) const {
            return chunks == other.chunks && digest == other.digest && end == other.end && endOffset == other.endOffset;
        }
    };
    Reading reading;

private:
    std::deque<std::string> tagNames;  // by group; a deque keeps them in place for the lookup
    std::unordered_map<std::string_view, std::size_t> groupByName;
    std::uint64_t groupBytes = 0;

    std::int32_t positionVariable = -1;
    std::int32_t parcelIndexVariable = -1;
    std::vector<std::string> outputNames;
    std::vector<LayoutArray> outputArrays;
    // Each written value after the position: its array and component.
    std::vector<std::pair<std::size_t, unsigned>> slots;
    // The shapes of the position: in chunks with points, and declared by those without.
    bool scalarPositionSeen = false;
    bool vectorPositionSeen = false;
    bool vectorPositionDeclared = false;
};

// A scalar named "Parcel Index" or tagged "ParcelId".
bool isParcelIndexVariable(const ChunkVariable& variable);
// The kind of the values of a scalar data type, or of a vector's components.
ValueKind kindOf(DataType type);

#endif
