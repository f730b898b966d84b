#include "TrackArrays.h"

#include <algorithm>
#include <cstring>
#include <sstream>
#include <stdexcept>

#include "Assembly.h"
#include "ChunkSource.h"
#include "PathIndex.h"
#include "TrackError.h"
#include "Translation.h"
#include "WorkQueue.h"

namespace {

ElementType elementOf(DataType type) {
    switch (type) {
        case DataType::Unsigned4: return ElementType::UInt32;
        case DataType::Float4:
        case DataType::Vector3Float4: return ElementType::Float32;
        default: return ElementType::Float64;
    }
}

// An array of its own memory, left uninitialised unless `zeroed`: every
// element is written before the array is handed out.
Array newArray(ElementType type, std::size_t rows, std::size_t width, bool zeroed = false) {
    Array array;
    array.type = type;
    array.rows = rows;
    array.width = width;
    array.rowStride = width * elementSize(type);
    const std::size_t bytes = rows * array.rowStride;
    std::shared_ptr<char[]> memory(zeroed ? new char[bytes]() : new char[bytes]);
    array.data = memory.get();
    array.owner = std::move(memory);
    return array;
}

// The element type the chunks give an array: the one they agree on, or
// Float64, which holds every Unsigned4, Float4 and Float8 value exactly.
class TypeVote {
public:
    void add(ElementType type) {
        result = seen && result != type ? ElementType::Float64 : type;
        seen = true;
    }
    ElementType type() const { return seen ? result : ElementType::Float64; }

private:
    bool seen = false;
    ElementType result = ElementType::Float64;
};

// The data type of a variable of a chunk without points where it can be
// read and fits the variable's kind: such chunks are not checked, but what
// they declare still types an array that has no points at all.
DataType declaredType(const ChunkVariable& variable, bool position) {
    const DataTypeCheck check = checkDataType(variable);
    if (!check.problem.empty()) return DataType::Unknown;
    if (!position && isVectorType(check.type) != (variable.type == 2)) return DataType::Unknown;
    return check.type;
}

std::size_t widthOf(const ChunkVariable& variable) {
    return variable.type == 2 ? 3 : 1;
}

// Bytes of one value: a vector's component.
std::size_t valueSize(DataType type) {
    return elementSize(type) / (isVectorType(type) ? 3 : 1);
}

// One output array of a written variable. Its values are slots
// [firstSlot, firstSlot + width) of the point's values after the position:
// a later chunk may hold them in other variables (three scalars "V-u",
// "V-v", "V-w" in the first chunk, a vector "V" in a later one).
struct Output {
    std::string name;
    std::size_t firstSlot;
    std::size_t width;
    TypeVote vote;
};

// A steady chunk as the first pass saw it, to recognise it in the second.
struct SeenChunk {
    std::uint64_t record;
    std::int32_t size;
    std::string name;
};

// A copy of `count` consecutive values of a point, from value `first` of
// one column to value `at` of the point's row in one array.
struct Copy {
    const LineColumn* column;
    std::size_t first;
    const Array* array;
    std::size_t at;
    std::size_t count;
    bool convert;  // to Float64; otherwise the bytes as stored
};

template <typename T>
void storeDoubles(char* out, const char* in, std::size_t count) {
    for (std::size_t k = 0; k < count; ++k) {
        const double value = static_cast<double>(loadValue<T>(in + k * sizeof(T)));
        std::memcpy(out + k * sizeof(double), &value, sizeof value);
    }
}

class TrackReader {
public:
    TrackReader(std::istream& input, const std::string& name) : input(input), name(name) {}

    Tracks read() {
        firstPass();
        Tracks tracks;
        tracks.tagNames = state.tagNames;
        tracks.warning = warning;
        const std::uint64_t points = index.pointCount();
        const std::size_t rows = static_cast<std::size_t>(points);
        tracks.tag = newArray(ElementType::Int32, rows, 1);
        tracks.parcel = newArray(ElementType::UInt32, rows, 1);
        tracks.pathOffsets = newArray(ElementType::Int64, static_cast<std::size_t>(index.pathCount()) + 1, 1);
        fillPaths(tracks);
        // A scalar position among vector ones has y = z = 0.
        tracks.position = newArray(positionVote.type(), rows, positionVector ? 3 : 1, positionVector && positionScalar);
        position = &tracks.position;
        tracks.variables.reserve(outputs.size());  // targets point into it
        for (Output& output : outputs) {
            tracks.variables.push_back({output.name, newArray(output.vote.type(), rows, output.width)});
            targets.push_back(&tracks.variables.back().array);
        }
        if (points > 0) secondPass();
        return tracks;
    }

private:
    void firstPass() {
        start = input.tellg();
        ChunkSource source(input);
        std::ostringstream diagnostics;
        indexTrack(source, state, index, diagnostics, nullptr, false,
                   [&](const TrackChunk& chunk, const std::vector<LineColumn>& columns) { survey(chunk, columns); });
        if (!state.foundSteadyChunk) fail(name + " contained only unsteady track chunks.");
        warning = diagnostics.str();
        const std::string prefix = "Warning:  ";
        if (warning.compare(0, prefix.size(), prefix) == 0) warning.erase(0, prefix.size());
        while (!warning.empty() && warning.back() == '\n') warning.pop_back();
    }

    // Notes what a chunk of the first pass declares: the element types of
    // its values and whether its position is a vector.
    void survey(const TrackChunk& chunk, const std::vector<LineColumn>& columns) {
        seen.push_back({chunk.record, chunk.size, chunk.name});
        if (seen.size() == 1) layOut(chunk);
        // Chunks with points have passed the type checks: their columns are
        // the position, then the written variables.
        std::size_t column = 0;
        auto typeOf = [&](const ChunkVariable& variable, bool isPosition) {
            return columns.empty() ? declaredType(variable, isPosition) : columns.at(column++).type;
        };
        const DataType positionType = typeOf(chunk.variables[std::size_t(state.positionVariable)], true);
        if (positionType != DataType::Unknown) {
            positionVote.add(elementOf(positionType));
            (isVectorType(positionType) ? positionVector : positionScalar) = true;
        }
        std::size_t slot = 0;
        for (const ChunkVariable& variable : chunk.variables) {
            if (!isWrittenVariable(state, variable)) continue;
            const DataType type = typeOf(variable, false);
            for (std::size_t k = 0; k < widthOf(variable); ++k, ++slot)
                if (type != DataType::Unknown) outputs[slotOutput.at(slot)].vote.add(elementOf(type));
        }
    }

    // The output arrays: the written variables of the first chunk.
    void layOut(const TrackChunk& chunk) {
        VariableKeys keys;
        for (const ChunkVariable& variable : chunk.variables) {
            if (!isWrittenVariable(state, variable)) continue;
            outputs.push_back({keys.keyOf(variable), slotOutput.size(), widthOf(variable), {}});
            slotOutput.insert(slotOutput.end(), widthOf(variable), outputs.size() - 1);
        }
    }

    void fillPaths(Tracks& tracks) {
        char* offsets = tracks.pathOffsets.data;
        std::size_t k = 0;
        index.forEachPath([&](const PathIndex::Path& path) {
            const std::int64_t first = static_cast<std::int64_t>(path.firstPoint);
            const std::int32_t tag = static_cast<std::int32_t>(path.group + 1);
            std::memcpy(offsets + 8 * k++, &first, 8);
            for (std::uint64_t p = path.firstPoint; p < path.firstPoint + path.count; ++p) {
                std::memcpy(tracks.tag.data + 4 * p, &tag, 4);
                std::memcpy(tracks.parcel.data + 4 * p, &path.parcel, 4);
            }
        });
        const std::int64_t end = static_cast<std::int64_t>(index.pointCount());
        std::memcpy(offsets + 8 * k, &end, 8);
    }

    [[noreturn]] void failChanged() const { fail(name + " changed while it was read."); }

    // Adds the copy of a column's value `first` to value `at` of an array's
    // rows, joined to the copy before it where both continue it.
    void addCopy(std::vector<Copy>& copies, const LineColumn& column, std::size_t first, const Array& array,
                 std::size_t at) const {
        const bool convert = elementOf(column.type) != array.type;
        if (convert && array.type != ElementType::Float64) failChanged();
        if (!copies.empty()) {
            Copy& last = copies.back();
            if (last.column == &column && last.array == &array && last.first + last.count == first &&
                last.at + last.count == at) {
                ++last.count;
                return;
            }
        }
        copies.push_back({&column, first, &array, at, 1, convert});
    }

    // Which values of a chunk's columns go where in a point's rows.
    std::vector<Copy> planCopies(const TrackChunk& chunk, const std::vector<LineColumn>& columns) const {
        std::vector<Copy> copies;
        const LineColumn& positionColumn = columns.at(0);
        const std::size_t positionWidth = isVectorType(positionColumn.type) ? 3 : 1;
        if (positionWidth > position->width) failChanged();
        for (std::size_t k = 0; k < positionWidth; ++k) addCopy(copies, positionColumn, k, *position, k);
        std::size_t slot = 0;
        std::size_t column = 1;
        for (const ChunkVariable& variable : chunk.variables) {
            if (!isWrittenVariable(state, variable)) continue;
            for (std::size_t k = 0; k < widthOf(variable); ++k, ++slot) {
                const Output& output = outputs[slotOutput.at(slot)];
                addCopy(copies, columns.at(column), k, *targets[slotOutput[slot]], slot - output.firstSlot);
            }
            ++column;
        }
        return copies;
    }

    static void copyPoint(const std::vector<Copy>& copies, std::size_t point, std::size_t row) {
        for (const Copy& copy : copies) {
            const LineColumn& column = *copy.column;
            const char* in = column.data + point * column.stride + copy.first * valueSize(column.type);
            char* out = copy.array->data + row * copy.array->rowStride + copy.at * elementSize(copy.array->type);
            if (!copy.convert)
                std::memcpy(out, in, copy.count * valueSize(column.type));
            else if (column.type == DataType::Unsigned4)
                storeDoubles<std::uint32_t>(out, in, copy.count);
            else
                storeDoubles<float>(out, in, copy.count);
        }
    }

    // Reads the file again from its start, and copies every point's values
    // to the place the path index gives it.
    void secondPass() {
        input.clear();
        input.seekg(start);
        ChunkSource source(input);
        std::ostringstream ignored;  // the first pass has warned
        std::size_t chunks = 0;
        std::vector<std::uint64_t> rows;
        // The values of a chunk's points go to their rows on every core:
        // each point has a row of its own, and the scattered stores, each a
        // miss in the cache, are most of the work.
        WorkQueue queue(defaultThreadCount());
        std::vector<std::uint64_t> tickets;
        walkTrack(source, state, ignored, false, nullptr, [&](TrackChunk& chunk, Group& group) {
            if (chunks >= seen.size() || seen[chunks].record != chunk.record || seen[chunks].size != chunk.size ||
                seen[chunks].name != chunk.name)
                failChanged();
            ++chunks;
            checkVariables(state, chunk);
            if (chunk.size <= 0) return;
            std::vector<int> wanted{state.parcelVariable, state.positionVariable};
            for (const ChunkVariable& variable : chunk.variables)
                if (isWrittenVariable(state, variable)) wanted.push_back(variable.index);
            source.readData(chunk, wanted);
            const std::vector<LineColumn> columns = pointColumns(state, chunk);
            const std::vector<Copy> copies = planCopies(chunk, columns);
            const ChunkVariable& parcel = parcelVariableOf(state, chunk);
            const std::size_t groupIndex = static_cast<std::size_t>(group.number - 1);
            const std::size_t parcelStride = static_cast<std::size_t>(parcel.dataSize);
            rows.resize(static_cast<std::size_t>(chunk.size));
            try {
                index.placeAll(groupIndex, parcel.data.data(), parcelStride, rows.size(), rows.data());
            } catch (const std::logic_error&) {
                failChanged();  // a point the first pass did not count
            }
            const std::size_t piece =
                std::max<std::size_t>(4096, (rows.size() + queue.threads() - 1) / queue.threads());
            tickets.clear();
            for (std::size_t first = 0; first < rows.size(); first += piece) {
                const std::size_t end = std::min(rows.size(), first + piece);
                tickets.push_back(queue.add([&copies, &rows, first, end] {
                    for (std::size_t i = first; i < end; ++i) copyPoint(copies, i, static_cast<std::size_t>(rows[i]));
                }));
            }
            for (const std::uint64_t ticket : tickets) queue.wait(ticket);
        });
        // Every counted point has now been placed once, so no row is left
        // unwritten.
        if (chunks != seen.size()) failChanged();
    }

    std::istream& input;
    std::streampos start = 0;
    const std::string& name;
    TranslationState state;
    PathIndex index;
    std::string warning;
    std::vector<SeenChunk> seen;
    std::vector<Output> outputs;
    std::vector<std::size_t> slotOutput;  // the output of each value slot after the position
    TypeVote positionVote;
    bool positionVector = false;
    bool positionScalar = false;
    Array* position = nullptr;
    std::vector<Array*> targets;  // the array of each output
};

}  // namespace

std::size_t elementSize(ElementType type) {
    switch (type) {
        case ElementType::Int64:
        case ElementType::Float64: return 8;
        case ElementType::Bytes: return 1;
        default: return 4;
    }
}

Tracks readTracks(std::istream& input, const std::string& name) {
    return TrackReader(input, name).read();
}

std::string VariableKeys::keyOf(const ChunkVariable& variable) {
    if (!variable.name.empty() && used.insert(variable.name).second) return variable.name;
    std::string key = "variable " + std::to_string(variable.index + 1);
    // Only a name of that very form can take it.
    while (!used.insert(key).second) key += "'";
    return key;
}

bool nextChunk(ChunkSource& source, ChunkArrays& out, std::string& warning) {
    for (;;) {
        switch (source.next()) {
            case ChunkSource::Record::SteadyChunk: break;
            case ChunkSource::Record::Other: continue;
            case ChunkSource::Record::EmptyBlock:
            case ChunkSource::Record::End: return false;
            case ChunkSource::Record::Unreadable:
                warning = "reading stopped at byte " + std::to_string(source.recordOffset()) + ": " +
                          source.parseError() + "; later records were not read.";
                return false;
        }
        TrackChunk& chunk = source.chunk();
        source.readData(chunk);
        out = ChunkArrays();
        out.record = chunk.record;
        out.offset = chunk.offset;
        out.id = chunk.id;
        out.name = chunk.name;
        out.size = chunk.size;
        VariableKeys keys;
        for (ChunkVariable& variable : chunk.variables) {
            Array array;
            array.rows = static_cast<std::size_t>(chunk.size);
            array.rowStride = static_cast<std::size_t>(variable.dataSize);
            const DataTypeCheck check = checkDataType(variable);
            const bool valued = variable.type == 0 || variable.type == 2 || variable.type == 3;
            if (valued && check.problem.empty()) {
                array.type = elementOf(check.type);
                array.width = isVectorType(check.type) ? 3 : 1;
            } else {
                array.type = ElementType::Bytes;
                array.width = array.rowStride;
            }
            // The column moves into the array: no copy.
            auto column = std::make_shared<std::vector<char>>(std::move(variable.data));
            array.data = column->data();
            array.owner = std::move(column);
            out.variables.push_back({keys.keyOf(variable), std::move(array)});
        }
        return true;
    }
}
