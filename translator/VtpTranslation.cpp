#include "VtpTranslation.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <stdexcept>
#include <vector>

#include "Assembly.h"
#include "BufferedText.h"
#include "ChunkSource.h"
#include "PathIndex.h"
#include "Progress.h"
#include "SeekableInput.h"
#include "TrackError.h"
#include "Translation.h"
#include "VtpWriter.h"

namespace {

// The smallest window: below it the walks over the input would cost more
// than the memory they save.
constexpr std::uint64_t minimumWindow = std::uint64_t(1) << 20;

unsigned typeBit(DataType type) {
    return 1u << static_cast<unsigned>(type);
}

// An array of one value per point: the position or a written variable.
struct PointArray {
    std::string name;
    bool position = false;
    unsigned components = 1;
    unsigned seen = 0;  // a bit per data type the chunks gave it

    // The type in which every value the chunks gave is exact.
    VtkType type() const {
        const unsigned singles = typeBit(DataType::Float4) | typeBit(DataType::Vector3Float4);
        const unsigned doubles = typeBit(DataType::Float8) | typeBit(DataType::Vector3Float8);
        if ((seen & ~singles) == 0) return VtkType::Float32;
        if ((seen & ~doubles) == 0) return VtkType::Float64;
        if (seen == typeBit(DataType::Unsigned4) && !position) return VtkType::UInt32;
        return VtkType::Float64;
    }
    std::uint64_t pointBytes() const { return components * vtkTypeSize(type()); }
};

// The chunk's variables behind its point columns: the position, then every
// written variable.
std::vector<int> columnVariables(const TranslationState& state, const TrackChunk& chunk) {
    std::vector<int> indexes{state.positionVariable};
    for (const ChunkVariable& variable : chunk.variables)
        if (isWrittenVariable(state, variable)) indexes.push_back(variable.index);
    return indexes;
}

std::vector<PointArray> pointArraysOf(const TranslationState& state, const TrackChunk& chunk) {
    std::vector<PointArray> arrays;
    for (const int index : columnVariables(state, chunk)) {
        const ChunkVariable& variable = chunk.variables[static_cast<std::size_t>(index)];
        PointArray array;
        array.position = index == state.positionVariable;
        array.name = array.position ? "Points" : variable.name;
        array.components = array.position || variable.type == 2 ? 3 : 1;
        arrays.push_back(array);
    }
    return arrays;
}

// Refuses, before anything is written, names the file cannot hold or keep
// apart: a reader keeps only one point array of a name.
void checkNames(const TranslationState& state, const std::vector<PointArray>& arrays) {
    for (std::size_t a = 1; a < arrays.size(); ++a) {
        const std::string& name = arrays[a].name;
        const std::string problem = xmlTextProblem(name);
        if (!problem.empty())
            fail("the variable name \"" + shownInMessage(name) + "\" cannot be written in a VTK XML file: " + problem +
                 ".");
        for (std::size_t b = a + 1; b < arrays.size(); ++b)
            if (arrays[b].name == name)
                fail("two variables are named \"" + shownInMessage(name) +
                     "\": a VTK file would keep only one point array of that name.");
    }
    for (const std::string& tag : state.tagNames)
        if (tag.find('\0') != std::string::npos)
            fail("the tag name \"" + shownInMessage(tag) + "\" holds a zero byte, which ends a string in a VTK file.");
}

// The arrays in the order of their data: the tag names, the point arrays
// (one stretch, so that a window may span two of them), then the lines and
// their cell data.
VtpLayout layoutOf(const TranslationState& state, const PathIndex& index, const std::vector<PointArray>& arrays) {
    VtpLayout layout;
    layout.points = index.pointCount();
    layout.lines = index.pathCount();
    std::uint64_t tagBytes = 0;
    for (const std::string& tag : state.tagNames) tagBytes += tag.size() + 1;
    layout.arrays.push_back({VtpSection::FieldData, "Tag Names", VtkType::String, 1, state.tagNames.size(), tagBytes});
    for (const PointArray& array : arrays)
        layout.arrays.push_back({array.position ? VtpSection::Points : VtpSection::PointData, array.name, array.type(),
                                 array.components, layout.points, layout.points * array.pointBytes()});
    // VTK refuses a line of one point: such a path runs through its point twice.
    std::uint64_t singles = 0;
    index.forEachPath([&](const PathIndex::Path& path) { singles += path.count == 1; });
    const std::uint64_t connectivity = layout.points + singles;
    layout.arrays.push_back({VtpSection::Lines, "connectivity", VtkType::Int64, 1, connectivity, 8 * connectivity});
    layout.arrays.push_back({VtpSection::Lines, "offsets", VtkType::Int64, 1, layout.lines, 8 * layout.lines});
    layout.arrays.push_back({VtpSection::CellData, "Parcel Index", VtkType::UInt32, 1, layout.lines, 4 * layout.lines});
    layout.arrays.push_back({VtpSection::CellData, "Tag Group", VtkType::Int32, 1, layout.lines, 4 * layout.lines});
    return layout;
}

// The part of one point array that a window holds: the values of the points
// placed at [first, first + count), from byte `offset` of the window on.
struct Slice {
    std::size_t array;
    std::uint64_t first;
    std::uint64_t count;
    std::uint64_t offset;
};

// The windows that fill the point arrays in the order of their data, each
// of at most windowBytes.
std::vector<std::vector<Slice>> planWindows(const std::vector<PointArray>& arrays, std::uint64_t points,
                                            std::uint64_t windowBytes) {
    std::vector<std::vector<Slice>> windows;
    std::size_t array = 0;
    std::uint64_t first = 0;
    while (points > 0 && array < arrays.size()) {
        std::vector<Slice> slices;
        std::uint64_t used = 0;
        while (array < arrays.size()) {
            const std::uint64_t fit = (windowBytes - used) / arrays[array].pointBytes();
            if (fit == 0) break;
            const std::uint64_t count = std::min(points - first, fit);
            slices.push_back({array, first, count, used});
            used += count * arrays[array].pointBytes();
            first += count;
            if (first == points) {
                ++array;
                first = 0;
            }
        }
        windows.push_back(slices);
    }
    return windows;
}

// Copies the values of the column's points placed inside the slice to their
// places in `window`; a scalar given to three components is (v, 0, 0).
template <typename In, typename Out, unsigned inComponents, unsigned outComponents>
void copyPlaced(const LineColumn& column, const std::vector<std::uint64_t>& places, const Slice& slice, char* window) {
    // The places scatter over the window: its cache lines are fetched ahead.
    constexpr std::size_t prefetchDistance = 16;
    const std::size_t count = places.size();
    const std::uint64_t* const place = places.data();
    for (std::size_t i = 0; i < count; ++i) {
        if (i + prefetchDistance < count) {
            const std::uint64_t ahead = place[i + prefetchDistance] - slice.first;
            if (ahead < slice.count) __builtin_prefetch(window + ahead * sizeof(Out) * outComponents, 1);
        }
        const std::uint64_t k = place[i] - slice.first;
        if (k >= slice.count) continue;
        const char* const element = column.data + i * column.stride;
        Out values[outComponents] = {};
        for (unsigned c = 0; c < inComponents; ++c)
            values[c] = static_cast<Out>(loadValue<In>(element + c * sizeof(In)));
        std::memcpy(window + k * sizeof values, values, sizeof values);
    }
}

template <typename In, typename Out>
void copyAs(const LineColumn& column, unsigned components, const std::vector<std::uint64_t>& places, const Slice& slice,
            char* window) {
    if (isVectorType(column.type))
        copyPlaced<In, Out, 3, 3>(column, places, slice, window);
    else if (components == 3)
        copyPlaced<In, Out, 1, 3>(column, places, slice, window);
    else
        copyPlaced<In, Out, 1, 1>(column, places, slice, window);
}

template <typename In>
void copyFrom(const LineColumn& column, const PointArray& array, const std::vector<std::uint64_t>& places,
              const Slice& slice, char* window) {
    switch (array.type()) {
        case VtkType::UInt32: copyAs<In, std::uint32_t>(column, array.components, places, slice, window); return;
        case VtkType::Float32: copyAs<In, float>(column, array.components, places, slice, window); return;
        default: copyAs<In, double>(column, array.components, places, slice, window); return;
    }
}

void copyColumn(const LineColumn& column, const PointArray& array, const std::vector<std::uint64_t>& places,
                const Slice& slice, char* window) {
    // A type the first pass did not see could not be converted exactly.
    if ((array.seen & typeBit(column.type)) == 0) failInputChanged();
    switch (column.type) {
        case DataType::Unsigned4: copyFrom<std::uint32_t>(column, array, places, slice, window); return;
        case DataType::Float4:
        case DataType::Vector3Float4: copyFrom<float>(column, array, places, slice, window); return;
        case DataType::Float8:
        case DataType::Vector3Float8: copyFrom<double>(column, array, places, slice, window); return;
        case DataType::Unknown: return;
    }
}

// Everything the passes after the first share.
struct Passes {
    SeekableInput& input;
    TranslationState& state;
    PathIndex& index;
    const std::vector<PointArray>& arrays;
    bool strict;
    ProgressLine& progress;
};

// Walks the input again and copies the values of the points each slice
// holds into the window.
void fillWindow(Passes& passes, const std::vector<Slice>& slices, char* window) {
    passes.input.rewind();
    passes.index.restart();
    ChunkSource source(passes.input.stream());
    // The first pass has said what there was to say about the input.
    std::ostream nowhere(nullptr);
    std::vector<std::uint64_t> places;
    std::uint64_t points = 0;
    walkTrack(source, passes.state, nowhere, passes.strict, &passes.progress, [&](TrackChunk& chunk, Group& group) {
        checkChunkVariables(passes.state, chunk);
        if (chunk.size <= 0) return;
        const std::vector<int> variables = columnVariables(passes.state, chunk);
        const ChunkVariable& parcel = parcelVariableOf(passes.state, chunk);
        std::vector<int> wanted{parcel.index};
        for (const Slice& slice : slices) wanted.push_back(variables[slice.array]);
        source.readData(chunk, wanted);
        const std::vector<LineColumn> columns = pointColumns(passes.state, chunk);

        const std::size_t groupIndex = static_cast<std::size_t>(group.number - 1);
        const std::size_t stride = static_cast<std::size_t>(parcel.dataSize);
        places.resize(static_cast<std::size_t>(chunk.size));
        passes.index.placeAll(groupIndex, parcel.data.data(), stride, places.size(), places.data());
        for (const Slice& slice : slices)
            copyColumn(columns[slice.array], passes.arrays[slice.array], places, slice, window + slice.offset);
        points += places.size();
    });
    passes.progress.clear();
    if (points != passes.index.pointCount()) failInputChanged();
}

template <typename T>
void put(BufferedText& out, T value) {
    out.raw(reinterpret_cast<const char*>(&value), sizeof value);
}

// The arrays of the lines, from the index alone.
void writeLines(BufferedText& out, const PathIndex& index, const VtpLayout& layout) {
    const auto bytesOf = [&](const char* name) {
        for (const VtpArray& array : layout.arrays)
            if (array.name == name && array.section != VtpSection::PointData) return array.bytes;
        return std::uint64_t(0);
    };
    out.raw(vtpBlockSize(bytesOf("connectivity")));
    index.forEachPath([&](const PathIndex::Path& path) {
        for (std::uint64_t k = 0; k < path.count; ++k) put(out, std::int64_t(path.firstPoint + k));
        if (path.count == 1) put(out, std::int64_t(path.firstPoint));
    });
    out.raw(vtpBlockSize(bytesOf("offsets")));
    std::int64_t end = 0;
    index.forEachPath([&](const PathIndex::Path& path) {
        end += static_cast<std::int64_t>(path.count == 1 ? 2 : path.count);
        put(out, end);
    });
    out.raw(vtpBlockSize(bytesOf("Parcel Index")));
    index.forEachPath([&](const PathIndex::Path& path) { put(out, path.parcel); });
    out.raw(vtpBlockSize(bytesOf("Tag Group")));
    index.forEachPath([&](const PathIndex::Path& path) { put(out, std::int32_t(path.group + 1)); });
}

}  // namespace

void translateToVtp(std::istream& input, const std::string& inputName, std::ostream& out, std::ostream& diagnostics,
                    const TranslationOptions& options) {
    SeekableInput seekable(input);
    TranslationState state;
    PathIndex index;
    std::vector<PointArray> arrays;
    std::uint64_t chunkBytes = 0;  // the most that one chunk's data and places take
    // An error thrown while reading erases the line on its way out.
    ProgressLine progress(diagnostics, options.showProgress);
    {
        ChunkSource source(seekable.stream());
        indexTrack(source, state, index, diagnostics, &progress, options.strict,
                   [&](const TrackChunk& chunk, const std::vector<LineColumn>& columns) {
                       if (arrays.empty()) arrays = pointArraysOf(state, chunk);
                       for (std::size_t c = 0; c < columns.size(); ++c) arrays[c].seen |= typeBit(columns[c].type);
                       std::uint64_t bytes = 8 * std::uint64_t(std::max(chunk.size, 0));
                       for (const ChunkVariable& variable : chunk.variables) bytes += variable.dataLength;
                       chunkBytes = std::max(chunkBytes, bytes);
                   });
    }
    progress.clear();
    if (!state.foundSteadyChunk) fail(inputName + " contained only unsteady track chunks.");
    checkNames(state, arrays);
    const VtpLayout layout = layoutOf(state, index, arrays);

    // The window gets what the budget leaves beside the index, one chunk and
    // the output buffer.
    const std::uint64_t points = index.pointCount();
    std::uint64_t pointBytes = 0;
    for (const PointArray& array : arrays) pointBytes += points * array.pointBytes();
    const std::uint64_t held = index.memoryUsed() + chunkBytes + minimumWindow;
    const std::uint64_t budget = memoryBudgetOf(options);
    const std::uint64_t windowBytes =
        std::min(pointBytes, std::max(minimumWindow, budget > held ? budget - held : std::uint64_t(0)));
    const std::vector<std::vector<Slice>> windows = planWindows(arrays, points, windowBytes);

    BufferedText text(out);
    text.raw(vtpHeader(layout));
    text.raw(vtpBlockSize(layout.arrays.front().bytes));
    for (const std::string& tag : state.tagNames) text.raw(tag.c_str(), tag.size() + 1);
    if (points == 0)
        for (std::size_t a = 0; a < arrays.size(); ++a) text.raw(vtpBlockSize(0));

    // Every byte of a window is filled before the window is written out: it
    // needs no clearing.
    const std::unique_ptr<char[]> window(new char[static_cast<std::size_t>(windowBytes)]);
    Passes passes{seekable, state, index, arrays, options.strict, progress};
    for (const std::vector<Slice>& slices : windows) {
        if (text.failed()) return;
        try {
            fillWindow(passes, slices, window.get());
        } catch (const std::length_error&) {
            throw;  // out of memory
        } catch (const std::logic_error&) {
            // A point the first pass did not count, or a group it did not see.
            failInputChanged();
        }
        for (const Slice& slice : slices) {
            const PointArray& array = arrays[slice.array];
            if (slice.first == 0) text.raw(vtpBlockSize(points * array.pointBytes()));
            text.flush();
            out.write(window.get() + slice.offset, static_cast<std::streamsize>(slice.count * array.pointBytes()));
        }
    }
    writeLines(text, index, layout);
    text.raw(vtpFooter());
    text.flush();
}
