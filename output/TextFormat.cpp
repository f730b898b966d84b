#include "TextFormat.h"

#include <deque>
#include <memory>
#include <vector>

#include "Assembly.h"
#include "WorkQueue.h"

namespace {

// Writes paths [first, end) of a group, whose table is sorted.
void writePaths(BufferedText& text, const TranslationState& state, const TextFormat& format, std::size_t g,
                std::size_t first, std::size_t end) {
    const Group& group = *state.groups[g];
    std::vector<PointArena::Handle> lines;
    for (std::size_t i = first; i < end && !text.failed(); ++i) {
        const PointList points = group.paths.pathAt(i);
        const TextPath path{g, group.paths.parcelAt(i), points.count};
        format.writePathStart(text, state, path);
        pathLines(group.arena, points, lines);
        for (std::size_t k = 0; k < lines.size(); ++k)
            format.writeLine(text, state, path, k, group.arena.text(lines[k]), group.arena.lineLength(lines[k]));
    }
}

}  // namespace

void writeText(std::ostream& out, TranslationState& state, const TextFormat& format, WorkQueue* queue) {
    BufferedText text(out);
    format.writeHeader(text, state);
    // Each group's table is put in index order, the groups side by side.
    std::vector<std::uint64_t> sorting;
    for (const auto& group : state.groups) {
        ParcelTable* paths = &group->paths;
        if (queue == nullptr)
            paths->sortByParcel();
        else
            sorting.push_back(queue->add([paths] { paths->sortByParcel(); }));
    }
    for (const std::uint64_t ticket : sorting) queue->wait(ticket);
    if (queue == nullptr || queue->threads() == 1) {
        for (std::size_t g = 0; g < state.groups.size(); ++g)
            writePaths(text, state, format, g, 0, state.groups[g]->paths.size());
        return;
    }

    // Runs of paths are gathered on every thread, each into a buffer of its
    // own, and written here in order. Following the links of a path's lines
    // is a read from memory per line; that is what the threads share. The
    // buffers go round, so their memory is made once.
    text.flush();
    struct Piece {
        std::uint64_t ticket;
        std::shared_ptr<BufferedText> text;
    };
    std::deque<Piece> pieces;
    std::vector<std::shared_ptr<BufferedText>> spare;
    auto writeOldest = [&] {
        Piece oldest = std::move(pieces.front());
        pieces.pop_front();
        queue->wait(oldest.ticket);
        if (out) out.write(oldest.text->data(), static_cast<std::streamsize>(oldest.text->size()));
        oldest.text->clear();
        spare.push_back(std::move(oldest.text));
    };
    constexpr std::uint64_t piecePoints = 8192;
    const TranslationState& shared = state;
    for (std::size_t g = 0; g < state.groups.size() && out; ++g) {
        const ParcelTable& paths = state.groups[g]->paths;
        for (std::size_t first = 0; first < paths.size() && out;) {
            std::size_t end = first;
            for (std::uint64_t points = 0; end < paths.size() && points < piecePoints; ++end)
                points += paths.pathAt(end).count;
            while (pieces.size() >= 4 * std::size_t(queue->threads())) writeOldest();
            std::shared_ptr<BufferedText> piece;
            if (spare.empty()) {
                piece = std::make_shared<BufferedText>();
            } else {
                piece = std::move(spare.back());
                spare.pop_back();
            }
            const std::uint64_t ticket = queue->add(
                [piece, &shared, &format, g, first, end] { writePaths(*piece, shared, format, g, first, end); });
            pieces.push_back(Piece{ticket, std::move(piece)});
            first = end;
        }
    }
    while (!pieces.empty()) writeOldest();
}
