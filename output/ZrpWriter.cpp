#include "ZrpWriter.h"

#include <string>

#include "Assembly.h"
#include "ElementText.h"
#include "PointLine.h"

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

void ZrpFormat::writeHeader(BufferedText& out, const TranslationState& state) const {
    out.line(std::string("ZRPARTICLES 2 1"));
    out.line(std::string("Tag Names"));
    // A single tag group is written as the count 0, without its name and
    // without group numbers on the paths.
    if (state.tagNames.size() != 1) {
        out.line(state.tagNames.size());
        for (const std::string& name : state.tagNames) out.line(name);
    } else {
        out.line(std::uint64_t(0));
    }
    out.line(std::string("Variable Names"));
    out.line(state.variableNames.size());
    for (const std::string& name : state.variableNames) out.line(name);
}

void ZrpFormat::writePathStart(BufferedText& out, const TranslationState& state, const TextPath& path) const {
    out.line(path.count);
    if (state.tagNames.size() != 1) out.line(static_cast<std::uint64_t>(path.group + 1));
}

void ZrpFormat::writeLine(BufferedText& out, const TranslationState&, const TextPath&, std::uint64_t, const char* line,
                          std::size_t length) const {
    out.raw(line, length);
}

void writeZrp(std::ostream& out, TranslationState& state) {
    writeText(out, state, ZrpFormat());
}
