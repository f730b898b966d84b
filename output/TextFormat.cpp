#include "TextFormat.h"

#include <vector>

#include "Assembly.h"

void writeText(std::ostream& out, TranslationState& state, const TextFormat& format) {
    BufferedText text(out);
    format.writeHeader(text, state);
    std::vector<PointArena::Handle> lines;
    for (std::size_t g = 0; g < state.groups.size(); ++g) {
        Group& group = *state.groups[g];
        group.paths.forEachPath([&](std::uint32_t parcel, const PointList& points) {
            if (text.failed()) return;
            const TextPath path{g, parcel, points.count};
            format.writePathStart(text, state, path);
            pathLines(group.arena, points, lines);
            for (std::size_t k = 0; k < lines.size(); ++k)
                format.writeLine(text, state, path, k, group.arena.text(lines[k]), group.arena.lineLength(lines[k]));
        });
    }
}
