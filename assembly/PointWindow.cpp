#include "PointWindow.h"

#include <algorithm>
#include <cstring>

#include "WorkQueue.h"

namespace {

// Copies `N` values of each point of one column, read as In, to their places
// as Out. The places scatter over the target: its cache lines are fetched
// a few points ahead.
template <typename In, typename Out, unsigned N>
void copyColumn(const PlacedColumn& column, const PlacedPoints& points, std::size_t begin, std::size_t end,
                std::uint64_t first, std::uint64_t count, const ArrayTarget& target) {
    constexpr std::size_t prefetchDistance = 16;
    char* const out = target.values + column.component * sizeof(Out);
    const std::uint64_t* const places = points.places;
    for (std::size_t i = begin; i < end; ++i) {
        if (i + prefetchDistance < end) {
            const std::uint64_t ahead = places[i + prefetchDistance] - first;
            if (ahead < count) __builtin_prefetch(out + ahead * target.pointStride, 1);
        }
        const std::uint64_t k = places[i] - first;
        if (k >= count) continue;
        const char* const in = column.data + i * column.stride;
        Out values[N];
        for (unsigned c = 0; c < N; ++c) values[c] = static_cast<Out>(loadValue<In>(in + c * sizeof(In)));
        std::memcpy(out + k * target.pointStride, values, sizeof values);
    }
}

template <typename In, typename Out>
void copyAs(const PlacedColumn& column, const PlacedPoints& points, std::size_t begin, std::size_t end,
            std::uint64_t first, std::uint64_t count, const ArrayTarget& target) {
    switch (column.count) {
        case 1: copyColumn<In, Out, 1>(column, points, begin, end, first, count, target); return;
        case 2: copyColumn<In, Out, 2>(column, points, begin, end, first, count, target); return;
        default: copyColumn<In, Out, 3>(column, points, begin, end, first, count, target); return;
    }
}

template <typename In>
void copyFrom(const PlacedColumn& column, ValueType type, const PlacedPoints& points, std::size_t begin,
              std::size_t end, std::uint64_t first, std::uint64_t count, const ArrayTarget& target) {
    // The layout has made the type one that holds every value exactly.
    switch (type) {
        case ValueType::UInt32: copyAs<In, std::uint32_t>(column, points, begin, end, first, count, target); return;
        case ValueType::Float32: copyAs<In, float>(column, points, begin, end, first, count, target); return;
        case ValueType::Float64: copyAs<In, double>(column, points, begin, end, first, count, target); return;
    }
}

void fillKinds(const std::uint64_t* places, std::size_t begin, std::size_t end, std::uint64_t first,
               std::uint64_t count, const ArrayTarget& target, unsigned from, unsigned to, ValueKind kind) {
    for (std::size_t i = begin; i < end; ++i) {
        const std::uint64_t k = places[i] - first;
        if (k < count) std::memset(target.kinds + k * target.kindStride + from, static_cast<int>(kind), to - from);
    }
}

}  // namespace

void scatterPoints(const TrackLayout& layout, const PlacedPoints& points, std::size_t begin, std::size_t end,
                   std::uint64_t first, std::uint64_t count, const std::vector<ArrayTarget>& targets) {
    const std::vector<LayoutArray>& arrays = layout.arrays();
    for (const PlacedColumn& column : points.columns) {
        const ArrayTarget& target = targets[column.array];
        const ValueType type = arrays[column.array].type;
        switch (column.kind) {
            case ValueKind::Unsigned4:
                copyFrom<std::uint32_t>(column, type, points, begin, end, first, count, target);
                break;
            case ValueKind::Float4: copyFrom<float>(column, type, points, begin, end, first, count, target); break;
            case ValueKind::Float8: copyFrom<double>(column, type, points, begin, end, first, count, target); break;
            case ValueKind::Absent: break;
        }
        if (target.kinds != nullptr)
            fillKinds(points.places, begin, end, first, count, target, column.component,
                      column.component + column.count, column.kind);
    }
    // y and z of a scalar position among vector ones are 0.
    for (const auto& absent : points.absent) {
        const ArrayTarget& target = targets[absent.first];
        const LayoutArray& array = arrays[absent.first];
        const std::size_t size = valueSize(array.type);
        for (std::size_t i = begin; i < end; ++i) {
            const std::uint64_t k = points.places[i] - first;
            if (k < count)
                std::memset(target.values + k * target.pointStride + absent.second * size, 0,
                            (array.components - absent.second) * size);
        }
        if (target.kinds != nullptr)
            fillKinds(points.places, begin, end, first, count, target, absent.second, array.components,
                      ValueKind::Absent);
    }
}

PointWindow::PointWindow(const TrackLayout& layout, std::uint64_t capacity)
    : trackLayout(layout), room(capacity), memory(static_cast<std::size_t>(capacity * layout.pointBytes())) {
    char* at = memory.data();
    for (const LayoutArray& array : layout.arrays()) {
        ArrayTarget target;
        target.values = at;
        target.pointStride = array.rowBytes();
        at += capacity * target.pointStride;
        if (array.tagged) {
            target.kinds = reinterpret_cast<std::uint8_t*>(at);
            target.kindStride = array.components;
            at += capacity * array.components;
        }
        targets.push_back(target);
    }
}

PointWindow::PointWindow(const TrackLayout& layout, std::uint64_t capacity, const std::vector<char*>& buffers)
    : trackLayout(layout), room(capacity) {
    for (std::size_t a = 0; a < layout.arrays().size(); ++a) {
        const LayoutArray& array = layout.arrays()[a];
        ArrayTarget target;
        target.values = buffers.at(a);
        target.pointStride = array.rowBytes();
        targets.push_back(target);
    }
}

void PointWindow::setRange(std::uint64_t first, std::uint64_t count) {
    firstPoint = first;
    pointCount = std::min(count, room);
}

void PointWindow::scatter(const PlacedPoints& points, WorkQueue* queue) {
    // Each point has a place of its own: threads that take points apart
    // write apart.
    constexpr std::size_t perThread = 4096;
    const unsigned threads = queue != nullptr ? queue->threads() : 1;
    if (threads == 1 || points.count < 2 * perThread) {
        scatterPoints(trackLayout, points, 0, points.count, firstPoint, pointCount, targets);
        return;
    }
    const std::size_t piece = (points.count + threads - 1) / threads;
    std::vector<std::uint64_t> tickets;
    for (std::size_t begin = 0; begin < points.count; begin += piece) {
        const std::size_t end = std::min(points.count, begin + piece);
        tickets.push_back(queue->add([this, &points, begin, end] {
            scatterPoints(trackLayout, points, begin, end, firstPoint, pointCount, targets);
        }));
    }
    for (const std::uint64_t ticket : tickets) queue->wait(ticket);
}
