#include "TrackArrays.h"

#include <algorithm>
#include <cstring>
#include <sstream>
#include <stdexcept>

#include "ChunkSource.h"
#include "LargeBuffer.h"
#include "MemoryBudget.h"
#include "PointWindow.h"
#include "SteadyChunks.h"
#include "TrackError.h"
#include "TwoPasses.h"
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

constexpr std::size_t largeArray = std::size_t(1) << 20;

// An array of its own memory, every element of which is written before the
// array is handed out. Large ones are mapped in huge pages: filling fresh
// memory a 4 KiB page at a time faults on every page.
Array newArray(ElementType type, std::size_t rows, std::size_t width) {
    Array array;
    array.type = type;
    array.rows = rows;
    array.width = width;
    array.rowStride = width * elementSize(type);
    const std::size_t bytes = std::max<std::size_t>(1, rows * array.rowStride);
    if (bytes < largeArray) {
        std::shared_ptr<char[]> memory(new char[bytes]);
        array.data = memory.get();
        array.owner = std::move(memory);
    } else {
        auto memory = std::make_shared<LargeBuffer>(bytes);
        array.data = memory->data();
        array.owner = std::move(memory);
    }
    return array;
}

void fillPaths(const PathIndex& index, Tracks& tracks) {
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

}  // namespace

ElementType elementOf(ValueType type) {
    switch (type) {
        case ValueType::UInt32: return ElementType::UInt32;
        case ValueType::Float32: return ElementType::Float32;
        case ValueType::Float64: return ElementType::Float64;
    }
    return ElementType::Float64;
}

std::size_t elementSize(ElementType type) {
    switch (type) {
        case ElementType::Int64:
        case ElementType::Float64: return 8;
        case ElementType::Bytes: return 1;
        default: return 4;
    }
}

Tracks readTracks(std::istream& input, const std::string& name) {
    const std::streampos start = input.tellg();
    Tracks tracks;
    SurveyOptions options;
    options.warn = [&](const std::string& text) { tracks.warning = text; };
    TrackLayout layout = [&] {
        ChunkSource source(input);
        return survey(source, name, options);
    }();
    const std::size_t rows = static_cast<std::size_t>(layout.index.pointCount());
    tracks.tagNames.assign(layout.tags().begin(), layout.tags().end());
    tracks.columnNames = layout.variableNames();
    tracks.tag = newArray(ElementType::Int32, rows, 1);
    tracks.parcel = newArray(ElementType::UInt32, rows, 1);
    tracks.pathOffsets = newArray(ElementType::Int64, static_cast<std::size_t>(layout.index.pathCount()) + 1, 1);
    fillPaths(layout.index, tracks);

    // The second pass copies every point's values straight to their rows.
    const std::vector<LayoutArray>& arrays = layout.arrays();
    std::vector<char*> buffers;
    VariableKeys keys;
    for (std::size_t a = 0; a < arrays.size(); ++a) {
        Array array = newArray(elementOf(arrays[a].type), rows, arrays[a].components);
        buffers.push_back(array.data);
        if (a == 0)
            tracks.position = std::move(array);
        else
            tracks.variables.push_back({keys.keyOf(arrays[a].name, arrays[a].variable), std::move(array)});
    }
    if (rows == 0) return tracks;
    PointWindow window(layout, rows, buffers);
    window.setRange(0, rows);
    // The scattered stores, each a miss in the cache, are most of the work:
    // the points of a piece go to their rows on every core.
    WorkQueue queue(resolveBudget(0, 0).threads);
    WindowSink sink(window, &queue);
    input.clear();
    input.seekg(start);
    ChunkSource source(input);
    place(source, layout, sink, PlaceOptions());
    return tracks;
}

std::string VariableKeys::keyOf(const std::string& name, int index) {
    if (!name.empty() && used.insert(name).second) return name;
    std::string key = "variable " + std::to_string(index + 1);
    // Only a name of that very form can take it.
    while (!used.insert(key).second) key += "'";
    return key;
}

bool nextChunk(ChunkSource& source, ChunkArrays& out, std::string& warning) {
    SteadyChunks chunks(
        source, [&](const std::string& text) { warning = text; }, false);
    if (chunks.next() == nullptr) return false;
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
        if (variable.kind() != VariableKind::Other && check.problem.empty()) {
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
        out.variables.push_back({keys.keyOf(variable.name, variable.index), std::move(array)});
    }
    return true;
}
