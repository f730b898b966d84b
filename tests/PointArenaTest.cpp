// Point arena records: the link and the length share one word, so every
// length and every offset a record can have must come back unchanged.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "PointArena.h"

namespace {

struct Line {
    std::size_t bound;   // the room asked for
    std::size_t length;  // the text written, line feed included
};

// Writes the lines, links each to the one before, and reads them back from
// the last along the links.
void roundTrip(const std::vector<Line>& lines) {
    PointArena arena;
    std::vector<std::string> texts;
    PointArena::Handle previous = PointArena::none;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        std::string text(lines[i].length - 1, static_cast<char>('a' + i % 26));
        text += '\n';
        text.copy(arena.beginLine(lines[i].bound), text.size());
        const PointArena::Handle handle = arena.commitLine(text.size());
        if (previous != PointArena::none) arena.link(handle, previous);
        previous = handle;
        texts.push_back(text);
    }
    PointArena::Handle record = previous;
    for (std::size_t i = texts.size(); i > 0; --i, record = arena.next(record)) {
        ASSERT_NE(record, PointArena::none) << "line " << i - 1;
        ASSERT_EQ(std::string(arena.text(record), arena.lineLength(record)), texts[i - 1]) << "line " << i - 1;
    }
    EXPECT_EQ(record, PointArena::none);
}

TEST(PointArena, LengthsAndLinksComeBackUnchanged) {
    {
        SCOPED_TRACE("lengths around the largest one the record word holds");
        std::vector<Line> lines;
        for (const std::size_t length : {1, 2, 65534, 65535, 65536, 65537, 300000}) lines.push_back({length, length});
        roundTrip(lines);
    }
    {
        // The short lines after a bound far above its text, beyond the
        // default block size, must still be found through links whose offsets
        // would not fit if they shared that line's block.
        SCOPED_TRACE("oversized bound");
        std::vector<Line> lines{{std::size_t(3) << 20, 10}};
        for (int i = 0; i < 300000; ++i) lines.push_back({80, static_cast<std::size_t>(5 + i % 60)});
        roundTrip(lines);
    }
}

}  // namespace
