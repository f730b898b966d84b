#include "VtpWriter.h"

#include <algorithm>
#include <cstring>

#include "BufferedText.h"
#include "TrackError.h"

namespace {

const char* sectionName(VtpSection section) {
    switch (section) {
        case VtpSection::FieldData: return "FieldData";
        case VtpSection::PointData: return "PointData";
        case VtpSection::CellData: return "CellData";
        case VtpSection::Points: return "Points";
        case VtpSection::Lines: return "Lines";
    }
    return "";
}

// The section's DataArray elements, indented by `indent`; nothing when the
// section has no array.
void writeSection(std::string& out, const VtpLayout& layout, const std::vector<std::uint64_t>& offsets,
                  VtpSection section, const std::string& indent) {
    std::string arrays;
    for (std::size_t i = 0; i < layout.arrays.size(); ++i) {
        const VtpArray& array = layout.arrays[i];
        if (array.section != section) continue;
        arrays +=
            indent + "  <DataArray type=\"" + vtkTypeName(array.type) + "\" Name=\"" + xmlAttribute(array.name) + "\"";
        if (array.components != 1) arrays += " NumberOfComponents=\"" + std::to_string(array.components) + "\"";
        // Field arrays belong to no point or cell: the reader needs their length.
        if (section == VtpSection::FieldData) arrays += " NumberOfTuples=\"" + std::to_string(array.tuples) + "\"";
        arrays += " format=\"appended\" offset=\"" + std::to_string(offsets[i]) + "\"/>\n";
    }
    if (arrays.empty()) return;
    out += indent + "<" + sectionName(section) + ">\n" + arrays + indent + "</" + sectionName(section) + ">\n";
}

// The length of the UTF-8 sequence that begins at text[i], or 0 when the
// bytes there are not one.
std::size_t utf8Length(const std::string& text, std::size_t i) {
    const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(text[k]); };
    const unsigned lead = byte(i);
    std::size_t length;
    unsigned lowest;
    if (lead < 0x80) return 1;
    if (lead >= 0xc2 && lead <= 0xdf) {
        length = 2;
        lowest = 0x80;
    } else if (lead >= 0xe0 && lead <= 0xef) {
        length = 3;
        lowest = 0x800;
    } else if (lead >= 0xf0 && lead <= 0xf4) {
        length = 4;
        lowest = 0x10000;
    } else {
        return 0;
    }
    if (i + length > text.size()) return 0;
    unsigned code = lead & (0x7fu >> length);
    for (std::size_t k = 1; k < length; ++k) {
        if ((byte(i + k) & 0xc0) != 0x80) return 0;
        code = code << 6 | (byte(i + k) & 0x3f);
    }
    // Overlong forms, surrogates and values past U+10FFFF are not UTF-8.
    if (code < lowest || (code >= 0xd800 && code <= 0xdfff) || code > 0x10ffff) return 0;
    return length;
}

}  // namespace

const char* vtkTypeName(VtkType type) {
    switch (type) {
        case VtkType::Int32: return "Int32";
        case VtkType::UInt32: return "UInt32";
        case VtkType::Int64: return "Int64";
        case VtkType::Float32: return "Float32";
        case VtkType::Float64: return "Float64";
        case VtkType::String: return "String";
    }
    return "";
}

std::size_t vtkTypeSize(VtkType type) {
    switch (type) {
        case VtkType::Int32:
        case VtkType::UInt32:
        case VtkType::Float32: return 4;
        case VtkType::Int64:
        case VtkType::Float64: return 8;
        case VtkType::String: return 0;
    }
    return 0;
}

std::string vtpHeader(const VtpLayout& layout) {
    std::vector<std::uint64_t> offsets;
    std::uint64_t offset = 0;
    for (const VtpArray& array : layout.arrays) {
        offsets.push_back(offset);
        offset += 8 + array.bytes;
    }
    std::string out =
        "<?xml version=\"1.0\"?>\n"
        "<VTKFile type=\"PolyData\" version=\"1.0\" byte_order=\"LittleEndian\" header_type=\"UInt64\">\n"
        "  <PolyData>\n";
    writeSection(out, layout, offsets, VtpSection::FieldData, "    ");
    out += "    <Piece NumberOfPoints=\"" + std::to_string(layout.points) + "\" NumberOfVerts=\"0\" NumberOfLines=\"" +
           std::to_string(layout.lines) + "\" NumberOfStrips=\"0\" NumberOfPolys=\"0\">\n";
    for (const VtpSection section :
         {VtpSection::PointData, VtpSection::CellData, VtpSection::Points, VtpSection::Lines})
        writeSection(out, layout, offsets, section, "      ");
    out +=
        "    </Piece>\n"
        "  </PolyData>\n"
        "  <AppendedData encoding=\"raw\">\n"
        "   _";
    return out;
}

std::string vtpFooter() {
    return "\n  </AppendedData>\n</VTKFile>\n";
}

std::string vtpBlockSize(std::uint64_t bytes) {
    static_assert(__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__, "the file is written in the machine's byte order");
    std::string text(sizeof bytes, '\0');
    std::memcpy(&text[0], &bytes, sizeof bytes);
    return text;
}

std::string xmlAttribute(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (const char c : text) {
        switch (c) {
            case '&': out += "&amp;"; break;
            case '<': out += "&lt;"; break;
            case '>': out += "&gt;"; break;
            case '"': out += "&quot;"; break;
            case '\t': out += "&#9;"; break;
            case '\n': out += "&#10;"; break;
            case '\r': out += "&#13;"; break;
            default: out += c;
        }
    }
    return out;
}

std::string xmlTextProblem(const std::string& text) {
    for (std::size_t i = 0; i < text.size();) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        if (c < 0x20 && c != '\t' && c != '\n' && c != '\r') return "it holds a control character";
        const std::size_t length = utf8Length(text, i);
        if (length == 0) return "it is not UTF-8 text";
        i += length;
    }
    return "";
}

namespace {

VtkType vtkTypeOf(ValueType type) {
    switch (type) {
        case ValueType::UInt32: return VtkType::UInt32;
        case ValueType::Float32: return VtkType::Float32;
        case ValueType::Float64: return VtkType::Float64;
    }
    return VtkType::Float64;
}

// The arrays in the order of their data: the tag names, the point arrays,
// then the lines and their cell data.
VtpLayout vtpLayoutOf(const TrackLayout& track) {
    const PathIndex& index = track.index;
    VtpLayout layout;
    layout.points = index.pointCount();
    layout.lines = index.pathCount();
    std::uint64_t tagBytes = 0;
    for (const std::string& tag : track.tags()) tagBytes += tag.size() + 1;
    layout.arrays.push_back({VtpSection::FieldData, "Tag Names", VtkType::String, 1, track.groupCount(), tagBytes});
    for (std::size_t a = 0; a < track.arrays().size(); ++a) {
        const LayoutArray& array = track.arrays()[a];
        layout.arrays.push_back({a == 0 ? VtpSection::Points : VtpSection::PointData, a == 0 ? "Points" : array.name,
                                 vtkTypeOf(array.type), array.components, layout.points,
                                 layout.points * array.rowBytes()});
    }
    std::uint64_t singles = 0;
    index.forEachPath([&](const PathIndex::Path& path) { singles += path.count == 1; });
    const std::uint64_t connectivity = layout.points + singles;
    layout.arrays.push_back({VtpSection::Lines, "connectivity", VtkType::Int64, 1, connectivity, 8 * connectivity});
    layout.arrays.push_back({VtpSection::Lines, "offsets", VtkType::Int64, 1, layout.lines, 8 * layout.lines});
    layout.arrays.push_back({VtpSection::CellData, "Parcel Index", VtkType::UInt32, 1, layout.lines, 4 * layout.lines});
    layout.arrays.push_back({VtpSection::CellData, "Tag Group", VtkType::Int32, 1, layout.lines, 4 * layout.lines});
    return layout;
}

template <typename T>
void put(BufferedText& out, T value) {
    out.raw(reinterpret_cast<const char*>(&value), sizeof value);
}

// The arrays of the lines, from the index alone.
void writeLines(BufferedText& out, const PathIndex& index, const VtpLayout& layout) {
    const std::size_t first = layout.arrays.size() - 4;
    out.raw(vtpBlockSize(layout.arrays[first].bytes));
    index.forEachPath([&](const PathIndex::Path& path) {
        for (std::uint64_t k = 0; k < path.count; ++k) put(out, std::int64_t(path.firstPoint + k));
        if (path.count == 1) put(out, std::int64_t(path.firstPoint));
    });
    out.raw(vtpBlockSize(layout.arrays[first + 1].bytes));
    std::int64_t end = 0;
    index.forEachPath([&](const PathIndex::Path& path) {
        end += static_cast<std::int64_t>(path.count == 1 ? 2 : path.count);
        put(out, end);
    });
    out.raw(vtpBlockSize(layout.arrays[first + 2].bytes));
    index.forEachPath([&](const PathIndex::Path& path) { put(out, path.parcel); });
    out.raw(vtpBlockSize(layout.arrays[first + 3].bytes));
    index.forEachPath([&](const PathIndex::Path& path) { put(out, std::int32_t(path.group + 1)); });
}

}  // namespace

void writeVtp(std::ostream& out, const TrackLayout& track, PointStore& store,
              const std::function<void(std::uint64_t pointsWritten)>& progress) {
    const VtpLayout layout = vtpLayoutOf(track);
    BufferedText text(out);
    text.raw(vtpHeader(layout));
    text.raw(vtpBlockSize(layout.arrays.front().bytes));
    for (const std::string& tag : track.tags()) text.raw(tag.c_str(), tag.size() + 1);
    // Each point array from the windows in turn, in slices of a few
    // megabytes: one write of a whole window would hold its pages at once.
    constexpr std::uint64_t slice = std::uint64_t(4) << 20;
    const std::vector<LayoutArray>& arrays = track.arrays();
    const std::uint64_t points = layout.points;
    for (std::size_t a = 0; a < arrays.size() && !text.failed(); ++a) {
        const std::uint64_t pointBytes = arrays[a].rowBytes();
        text.raw(vtpBlockSize(points * pointBytes));
        text.flush();
        store.forEachWindow([&](const PointWindow& window) {
            const char* data = window.values(a);
            const std::uint64_t bytes = window.count() * pointBytes;
            for (std::uint64_t at = 0; at < bytes && out; at += slice)
                out.write(data + at, static_cast<std::streamsize>(std::min(slice, bytes - at)));
            if (progress && arrays.size() > 0) progress((a * points + window.first() + window.count()) / arrays.size());
        });
    }
    writeLines(text, track.index, layout);
    text.raw(vtpFooter());
    text.flush();
}
