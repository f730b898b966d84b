#include "ZrpWriter.h"

#include <charconv>
#include <string>

#include "ElementText.h"
#include "PointLine.h"
#include "TrackError.h"

namespace {

char* writeNumberLine(char* out, std::uint64_t number) {
    out = std::to_chars(out, out + 20, number).ptr;
    *out++ = '\n';
    return out;
}

}  // namespace

void ZrpFormat::begin(const TrackLayout& layout) {
    // A single tag group's name is not written.
    if (layout.groupCount() == 1) return;
    for (const std::string& tag : layout.tags())
        if (tag.find_first_of("\r\n") != std::string::npos)
            fail("the tag name \"" + shownInMessage(tag) +
                 "\" holds a line break, which would break the lines of a ZRP file.");
}

void ZrpFormat::writeHeader(BufferedText& out, const TrackLayout& layout) const {
    out.line(std::string("ZRPARTICLES 2 1"));
    out.line(std::string("Tag Names"));
    // A single tag group is written as the count 0, without its name and
    // without group numbers on the paths.
    if (layout.groupCount() != 1) {
        out.line(layout.groupCount());
        for (const std::string& name : layout.tags()) out.line(name);
    } else {
        out.line(std::uint64_t(0));
    }
    out.line(std::string("Variable Names"));
    out.line(layout.variableNames().size());
    for (const std::string& name : layout.variableNames()) out.line(name);
}

std::size_t ZrpFormat::pointRoom(const TrackLayout& layout) const {
    std::size_t values = 0;
    for (const LayoutArray& array : layout.arrays()) values += array.components;
    // Two number lines before a path, the values, the line feed.
    return 2 * 21 + values * maxValueText + 1 + elementTextRoom;
}

char* ZrpFormat::writePathStart(char* out, const TrackLayout& layout, const PathIndex::Path& path) const {
    out = writeNumberLine(out, path.count);
    if (layout.groupCount() != 1) out = writeNumberLine(out, path.group + 1);
    return out;
}

char* ZrpFormat::writePoint(char* out, const TrackLayout&, const PathIndex::Path&, std::uint64_t,
                            const LineValue* values, std::size_t count) const {
    out = writePointLine(out, values, count);
    *out++ = '\n';
    return out;
}
