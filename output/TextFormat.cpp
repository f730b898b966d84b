#include "TextFormat.h"

#include <algorithm>
#include <deque>
#include <memory>
#include <vector>

#include "WorkQueue.h"

namespace {

// Formats points [from, to) of the window.
std::size_t writePiece(char* out, const TrackLayout& layout, const TextFormat& format, const PointWindow& window,
                       std::uint64_t from, std::uint64_t to) {
    const PathIndex& index = layout.index;
    char* const start = out;
    const LineValues reader(window);
    std::vector<LineValue> values(reader.count());
    std::uint64_t point = window.first() + from;
    std::uint64_t k = index.pathOfPoint(point);
    PathIndex::Path path = index.path(k);
    for (std::uint64_t p = from; p < to; ++p, ++point) {
        if (point >= path.firstPoint + path.count) path = index.path(++k);
        if (point == path.firstPoint) out = format.writePathStart(out, layout, path);
        reader.read(p, values.data());
        out = format.writePoint(out, layout, path, point - path.firstPoint, values.data(), values.size());
    }
    return static_cast<std::size_t>(out - start);
}

}  // namespace

LineValues::LineValues(const PointWindow& window) {
    const std::vector<LayoutArray>& arrays = window.layout().arrays();
    for (std::size_t a = 0; a < arrays.size(); ++a) {
        const LayoutArray& array = arrays[a];
        const ArrayTarget& target = window.arrays()[a];
        for (unsigned c = 0; c < array.components; ++c)
            columns.push_back({target.values + c * valueSize(array.type), target.pointStride,
                               target.kinds != nullptr ? target.kinds + c : nullptr, target.kindStride, array.kind,
                               array.type});
    }
}

void writeText(std::ostream& out, const TrackLayout& layout, PointStore& store, TextFormat& format, WorkQueue& queue,
               std::size_t pieceBytes, const std::function<void(std::uint64_t points)>& progress) {
    {
        BufferedText header(out);
        format.writeHeader(header, layout);
    }
    const std::size_t room = format.pointRoom(layout);
    const std::uint64_t piecePoints = std::max<std::size_t>(1, pieceBytes / room);
    struct Piece {
        std::uint64_t ticket;
        std::shared_ptr<std::vector<char>> text;
        std::shared_ptr<std::size_t> length;
        std::uint64_t end;
    };
    // The pieces' buffers go round, so their memory is made once.
    std::deque<Piece> pieces;
    std::vector<std::shared_ptr<std::vector<char>>> spare;
    std::uint64_t written = 0;
    auto writeOldest = [&] {
        Piece oldest = std::move(pieces.front());
        pieces.pop_front();
        queue.wait(oldest.ticket);
        if (out) out.write(oldest.text->data(), static_cast<std::streamsize>(*oldest.length));
        written = oldest.end;
        if (progress) progress(written);
        spare.push_back(std::move(oldest.text));
    };
    const std::size_t inFlight = 2 * std::size_t(queue.threads());
    store.forEachWindow([&](const PointWindow& window) {
        for (std::uint64_t from = 0; from < window.count() && out; from += piecePoints) {
            const std::uint64_t to = std::min(window.count(), from + piecePoints);
            while (pieces.size() >= inFlight) writeOldest();
            std::shared_ptr<std::vector<char>> text;
            if (spare.empty()) {
                text = std::make_shared<std::vector<char>>(static_cast<std::size_t>(piecePoints * room));
            } else {
                text = std::move(spare.back());
                spare.pop_back();
            }
            auto length = std::make_shared<std::size_t>(0);
            const TextFormat& shared = format;
            const std::uint64_t ticket = queue.add([text, length, &layout, &shared, &window, from, to] {
                *length = writePiece(text->data(), layout, shared, window, from, to);
            });
            pieces.push_back(Piece{ticket, std::move(text), std::move(length), window.first() + to});
        }
        // The window is refilled after this: its pieces are written first.
        while (!pieces.empty()) writeOldest();
    });
}
