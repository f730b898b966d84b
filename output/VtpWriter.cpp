#include "VtpWriter.h"

#include <cstring>

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
