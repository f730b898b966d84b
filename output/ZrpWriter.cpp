#include "ZrpWriter.h"

#include <charconv>
#include <cstring>
#include <string>
#include <vector>

#include "Assembly.h"
#include "ElementText.h"
#include "PointLine.h"

namespace {

// Collects the text in a buffer and hands it to the stream in large writes:
// millions of short lines through the stream one by one would dominate the
// run time.
class BufferedText {
public:
    explicit BufferedText(std::ostream& stream) : out(stream), buffer(capacity) {}
    ~BufferedText() { flush(); }

    bool failed() const { return !out; }

    void line(const char* text, std::size_t length) {
        reserve(length + 1);
        std::memcpy(buffer.data() + used, text, length);
        used += length;
        buffer[used++] = '\n';
    }
    void line(const std::string& text) { line(text.data(), text.size()); }
    void line(std::uint64_t number) {
        char text[24];
        const auto result = std::to_chars(text, text + sizeof text, number);
        line(text, static_cast<std::size_t>(result.ptr - text));
    }
    // Text that brings its own line feed.
    void raw(const char* text, std::size_t length) {
        reserve(length);
        std::memcpy(buffer.data() + used, text, length);
        used += length;
    }

    void flush() {
        if (used > 0 && out) out.write(buffer.data(), static_cast<std::streamsize>(used));
        used = 0;
    }

private:
    static constexpr std::size_t capacity = std::size_t(1) << 20;

    void reserve(std::size_t length) {
        if (buffer.size() - used >= length) return;
        flush();
        if (buffer.size() < length) buffer.resize(length);
    }

    std::ostream& out;
    std::vector<char> buffer;
    std::size_t used = 0;
};

}  // namespace

std::size_t ZrpPointFormat::lineRoom(const LineColumn* columns, std::size_t count) const {
    std::size_t room = 1 + elementTextRoom;  // the line feed, the formatter's scratch room
    for (std::size_t c = 0; c < count; ++c) room += maxTextLength(columns[c].type);
    return room;
}

char* ZrpPointFormat::writeLine(char* out, const LineColumn* columns, std::size_t count, std::size_t point) const {
    char* end = writePointLine(out, columns, count, point);
    *end++ = '\n';
    return end;
}

void writeZrp(std::ostream& out, TranslationState& state) {
    BufferedText text(out);
    text.line(std::string("ZRPARTICLES 2 1"));
    text.line(std::string("Tag Names"));
    // A single tag group is written as the count 0, without its name and
    // without group numbers on the paths.
    const bool numberedGroups = state.tagNames.size() != 1;
    if (numberedGroups) {
        text.line(state.tagNames.size());
        for (const std::string& name : state.tagNames) text.line(name);
    } else {
        text.line(std::uint64_t(0));
    }
    text.line(std::string("Variable Names"));
    text.line(state.variableNames.size());
    for (const std::string& name : state.variableNames) text.line(name);

    std::vector<PointArena::Handle> lines;
    for (const auto& group : state.groups) {
        const PointArena& arena = group->arena;
        group->forEachPath([&](const PointList& points) {
            if (text.failed()) return;
            text.line(points.count);
            if (numberedGroups) text.line(static_cast<std::uint64_t>(group->number));
            pathLines(arena, points, lines);
            for (const PointArena::Handle record : lines) text.raw(arena.text(record), arena.lineLength(record));
        });
    }
}
