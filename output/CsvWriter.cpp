#include "CsvWriter.h"

#include <charconv>
#include <cstring>

#include "ShortestFormat.h"
#include "TrackError.h"

namespace {

const char* const fixedColumns[] = {"tag", "parcel", "point", "x", "y", "z"};

// Most characters of one value in shortest form, sign and exponent included:
// "-2.2250738585072014e-308", with one to spare.
constexpr std::size_t doubleRoom = 25;
constexpr std::size_t unsignedRoom = 10;

// The value, then a comma; an absent one (y or z of a scalar position) is 0.
char* appendValue(char* out, const LineValue& value) {
    switch (value.kind) {
        case ValueKind::Absent: *out++ = '0'; break;
        case ValueKind::Unsigned4: out = std::to_chars(out, out + unsignedRoom, value.asUnsigned()).ptr; break;
        case ValueKind::Float4: out += formatShortest(value.asFloat(), out); break;
        case ValueKind::Float8: out += formatShortest(value.asDouble(), out); break;
    }
    *out++ = ',';
    return out;
}

bool needsQuotes(const std::string& text) {
    return text.find_first_of(",\"\r\n") != std::string::npos;
}

}  // namespace

std::string csvField(const std::string& text) {
    if (!needsQuotes(text)) return text;
    std::string field = "\"";
    for (const char c : text) {
        if (c == '"') field += '"';
        field += c;
    }
    field += '"';
    return field;
}

void CsvFormat::begin(const TrackLayout& layout) {
    for (const std::string& name : layout.variableNames())
        for (const char* column : fixedColumns)
            if (name == column)
                fail("the variable name \"" + shownInMessage(name) +
                     "\" repeats a column of the CSV header (tag, parcel, point, x, y, z).");
    tagFields.clear();
    longestTag = 0;
    for (const std::string& tag : layout.tags()) {
        tagFields.push_back(csvField(tag));
        longestTag = std::max(longestTag, tagFields.back().size());
    }
}

void CsvFormat::writeHeader(BufferedText& out, const TrackLayout& layout) const {
    std::string header = "tag,parcel,point,x,y,z";
    for (const std::string& name : layout.variableNames()) header += "," + csvField(name);
    header += "\r\n";
    out.raw(header);
}

std::size_t CsvFormat::pointRoom(const TrackLayout& layout) const {
    std::size_t values = 0;
    for (const LayoutArray& array : layout.arrays()) values += array.components;
    // The tag, ",4294967295," and a 64-bit count, the position's x, y and z
    // at least, every value and its comma, the line break, and the scratch the
    // last value's formatter may store past its text.
    return longestTag + 1 + unsignedRoom + 1 + 20 + 1 + (values + 2) * (doubleRoom + 1) + 2 + shortestRoom;
}

char* CsvFormat::writePoint(char* out, const TrackLayout& layout, const PathIndex::Path& path, std::uint64_t point,
                            const LineValue* values, std::size_t count) const {
    const std::string& tag = tagFields[path.group];
    std::memcpy(out, tag.data(), tag.size());
    out += tag.size();
    *out++ = ',';
    out = std::to_chars(out, out + unsignedRoom, path.parcel).ptr;
    *out++ = ',';
    out = std::to_chars(out, out + 20, point).ptr;
    *out++ = ',';
    const unsigned positionComponents = layout.arrays()[0].components;
    for (std::size_t v = 0; v < count; ++v) {
        out = appendValue(out, values[v]);
        // A scalar position fills x, with y and z 0.
        if (v == 0 && positionComponents == 1) {
            std::memcpy(out, "0,0,", 4);
            out += 4;
        }
    }
    // The comma after the last value becomes the line break.
    out[-1] = '\r';
    *out++ = '\n';
    return out;
}
