#include "TwoPasses.h"

#include <algorithm>
#include <cstdio>

#include "SteadyChunks.h"
#include "TrackError.h"

namespace {

// A digest of what locates a chunk and its data, so that the second pass
// can tell that it has read the chunks the first one read.
std::uint64_t mix(std::uint64_t digest, std::uint64_t value) {
    digest ^= value + 0x9e3779b97f4a7c15u + (digest << 6) + (digest >> 2);
    return digest * 0xff51afd7ed558ccdu;
}

std::uint64_t chunkDigest(std::uint64_t digest, const TrackChunk& chunk, std::size_t group) {
    digest = mix(digest, chunk.record);
    digest = mix(digest, chunk.offset);
    digest = mix(digest, chunk.dataOffset);
    digest = mix(digest, group);
    digest = mix(digest, static_cast<std::uint64_t>(chunk.size));
    for (const ChunkVariable& variable : chunk.variables) {
        digest = mix(digest, static_cast<std::uint32_t>(variable.type));
        digest = mix(digest, static_cast<std::uint32_t>(variable.dataSize));
    }
    return mix(digest, chunk.variables.size());
}

std::string sizeText(std::uint64_t bytes) {
    char text[32];
    if (bytes < (std::uint64_t(1) << 20))
        std::snprintf(text, sizeof text, "%.1f KiB", static_cast<double>(bytes) / (1 << 10));
    else
        std::snprintf(text, sizeof text, "%.1f MiB", static_cast<double>(bytes) / (1 << 20));
    return text;
}

// Points a piece of `pieceBytes` holds, `bytesPerPoint` each.
std::size_t piecePoints(std::size_t pieceBytes, std::size_t bytesPerPoint) {
    return std::max<std::size_t>(1, pieceBytes / std::max<std::size_t>(1, bytesPerPoint));
}

void checkIndexMemory(const TrackLayout& layout, std::uint64_t limit) {
    if (limit == 0) return;
    const std::uint64_t need = layout.index.peakMemory() + layout.groupMemory();
    if (need <= limit) return;
    const std::size_t groups = layout.groupCount();
    fail("the tag names and the index of the paths do not fit the memory budget: the first " +
         std::to_string(layout.index.pathCount()) + " paths (" + std::to_string(groups) +
         (groups == 1 ? " tag group" : " tag groups") + ") need " + sizeText(need) + ", more than the " +
         sizeText(limit) + " the budget leaves them; --memory sets the budget.");
}

}  // namespace

TrackLayout survey(ChunkSource& source, const std::string& inputName, const SurveyOptions& options) {
    TrackLayout layout;
    SteadyChunks chunks(source, options.warn, options.strict);
    const auto progress = [&] {
        if (options.progress) options.progress(source.position(), source.size(), layout.index.pointCount());
    };
    while (TrackChunk* found = (progress(), chunks.next())) {
        const TrackChunk& chunk = *found;
        const std::size_t group = layout.groupFor(chunk.name);
        if (!layout.hasVariables())
            layout.takeFirstChunk(chunk);
        else
            layout.checkVariables(chunk);
        layout.reading.digest = chunkDigest(layout.reading.digest, chunk, group);
        ++layout.reading.chunks;
        if (chunk.size <= 0) {
            layout.noteDeclaredKinds(chunk);
            checkIndexMemory(layout, options.indexLimit);
            continue;
        }
        layout.noteKinds(layout.valuesOf(chunk));
        const ChunkVariable& parcel = layout.parcelVariable(chunk);
        const std::size_t stride = static_cast<std::size_t>(parcel.dataSize);
        source.readColumn(chunk, parcel.index, piecePoints(options.pieceBytes, stride),
                          [&](const char* data, std::uint64_t, std::size_t count) {
                              layout.index.countAll(group, data, stride, count);
                              checkIndexMemory(layout, options.indexLimit);
                              progress();
                          });
    }
    if (layout.reading.chunks == 0) fail(inputName + " contained only unsteady track chunks.");
    layout.reading.end = chunks.end();
    layout.reading.endOffset = chunks.endOffset();
    layout.index.finish();
    layout.resolveTypes(options.needs);
    return layout;
}

void failInputChanged() {
    fail("the input changed while it was being read.");
}

namespace {

// The second pass's reading of one chunk, every fault of which is a change
// of the input.
class ChunkPlacer {
public:
    ChunkPlacer(ChunkSource& source, TrackLayout& layout, PointSink& sink, std::size_t pieceBytes)
        : source(source), layout(layout), sink(sink), pieceBytes(pieceBytes) {}

    // Returns the chunk's points.
    std::uint64_t place(const TrackChunk& chunk, std::uint64_t& digest) {
        std::size_t group = 0;
        if (!layout.findGroup(chunk.name, group)) failInputChanged();
        ChunkValues values;
        try {
            layout.checkVariables(chunk);
            if (chunk.size > 0) values = layout.valuesOf(chunk);
        } catch (const TrackError&) {
            failInputChanged();
        }
        digest = chunkDigest(digest, chunk, group);
        if (chunk.size <= 0) return 0;
        if (!layout.fits(values)) failInputChanged();

        // The variables read: the parcel index first, then each one a copy reads.
        std::vector<int> variables{layout.parcelVariable(chunk).index};
        std::size_t bytesPerPoint = static_cast<std::size_t>(chunk.variables[std::size_t(variables[0])].dataSize);
        std::vector<std::size_t> pieceOf;  // by copy: its variable's place in `variables`
        for (const ValueCopy& copy : values.copies) {
            const auto known = std::find(variables.begin(), variables.end(), copy.variable);
            pieceOf.push_back(static_cast<std::size_t>(known - variables.begin()));
            if (known != variables.end()) continue;
            variables.push_back(copy.variable);
            bytesPerPoint += static_cast<std::size_t>(chunk.variables[std::size_t(copy.variable)].dataSize);
        }
        const std::uint64_t points = static_cast<std::uint64_t>(chunk.size);
        const std::size_t step = piecePoints(pieceBytes, bytesPerPoint);
        for (std::uint64_t first = 0; first < points; first += step) {
            const std::size_t count = static_cast<std::size_t>(std::min<std::uint64_t>(step, points - first));
            try {
                source.readPoints(chunk, variables, first, count, pieces);
            } catch (const TrackError&) {
                failInputChanged();
            }
            places.resize(count);
            const std::size_t parcelStride = static_cast<std::size_t>(layout.parcelVariable(chunk).dataSize);
            if (!layout.index.placeAll(group, pieces[0].data(), parcelStride, count, places.data())) failInputChanged();
            columns.clear();
            for (std::size_t c = 0; c < values.copies.size(); ++c) {
                const ValueCopy& copy = values.copies[c];
                const ChunkVariable& variable = chunk.variables[static_cast<std::size_t>(copy.variable)];
                const std::size_t valueBytes = copy.kind == ValueKind::Float8 ? 8 : 4;
                columns.push_back({pieces[pieceOf[c]].data() + copy.first * valueBytes,
                                   static_cast<std::size_t>(variable.dataSize), copy.kind, copy.count, copy.array,
                                   copy.component});
            }
            sink.take(PlacedPoints{count, places.data(), columns, values.absent});
        }
        return points;
    }

private:
    ChunkSource& source;
    TrackLayout& layout;
    PointSink& sink;
    const std::size_t pieceBytes;
    std::vector<std::vector<char>> pieces;
    std::vector<std::uint64_t> places;
    std::vector<PlacedColumn> columns;
};

}  // namespace

void place(ChunkSource& source, TrackLayout& layout, PointSink& sink, const PlaceOptions& options) {
    layout.index.restart();
    // The first pass has said all there was to say about the records.
    SteadyChunks chunks(source, nullptr, false);
    ChunkPlacer placer(source, layout, sink, options.pieceBytes);
    TrackLayout::Reading reading;
    std::uint64_t placed = 0;
    for (;;) {
        if (options.progress) options.progress(source.position(), source.size(), placed);
        TrackChunk* chunk = nullptr;
        try {
            chunk = chunks.next();
        } catch (const TrackError&) {
            failInputChanged();
        }
        if (chunk == nullptr) break;
        ++reading.chunks;
        if (reading.chunks > layout.reading.chunks) failInputChanged();
        placed += placer.place(*chunk, reading.digest);
    }
    reading.end = chunks.end();
    reading.endOffset = chunks.endOffset();
    // Every counted point has been placed once only if the chunks were the same.
    if (!(reading == layout.reading) || placed != layout.index.pointCount()) failInputChanged();
}
