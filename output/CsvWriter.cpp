#include "CsvWriter.h"

#include <charconv>
#include <cstring>

#include "Assembly.h"
#include "TrackError.h"

namespace {

const char* const fixedColumns[] = {"tag", "parcel", "point", "x", "y", "z"};

// Most characters of one value in shortest form, sign and exponent included:
// "-1.17549435e-38" and "-2.2250738585072014e-308", with one to spare.
constexpr std::size_t floatRoom = 16;
constexpr std::size_t doubleRoom = 25;
constexpr std::size_t unsignedRoom = 10;

template <typename T>
char* appendValue(char* out, T value, std::size_t room) {
    return std::to_chars(out, out + room, value).ptr;
}

// The values of one element, each followed by a comma.
char* appendElement(char* out, DataType type, const char* element) {
    switch (type) {
        case DataType::Unsigned4: out = appendValue(out, loadValue<std::uint32_t>(element), unsignedRoom); break;
        case DataType::Float4: out = appendValue(out, loadValue<float>(element), floatRoom); break;
        case DataType::Float8: out = appendValue(out, loadValue<double>(element), doubleRoom); break;
        case DataType::Vector3Float4:
            for (int c = 0; c < 2; ++c) {
                out = appendValue(out, loadValue<float>(element + c * sizeof(float)), floatRoom);
                *out++ = ',';
            }
            out = appendValue(out, loadValue<float>(element + 2 * sizeof(float)), floatRoom);
            break;
        case DataType::Vector3Float8:
            for (int c = 0; c < 2; ++c) {
                out = appendValue(out, loadValue<double>(element + c * sizeof(double)), doubleRoom);
                *out++ = ',';
            }
            out = appendValue(out, loadValue<double>(element + 2 * sizeof(double)), doubleRoom);
            break;
        case DataType::Unknown: return out;
    }
    *out++ = ',';
    return out;
}

std::size_t elementRoom(DataType type) {
    switch (type) {
        case DataType::Unsigned4: return 1 + unsignedRoom;
        case DataType::Float4: return 1 + floatRoom;
        case DataType::Float8: return 1 + doubleRoom;
        case DataType::Vector3Float4: return 3 * (1 + floatRoom);
        case DataType::Vector3Float8: return 3 * (1 + doubleRoom);
        case DataType::Unknown: return 0;
    }
    return 0;
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

std::size_t CsvPointFormat::lineRoom(const LineColumn* columns, std::size_t count) const {
    std::size_t room = 1 + 4;  // the line feed, and "0,0," after a scalar position
    for (std::size_t c = 0; c < count; ++c) room += elementRoom(columns[c].type);
    return room;
}

char* CsvPointFormat::writeLine(char* out, const LineColumn* columns, std::size_t count, std::size_t point) const {
    for (std::size_t c = 0; c < count; ++c) {
        out = appendElement(out, columns[c].type, columns[c].data + point * columns[c].stride);
        if (c == 0 && !isVectorType(columns[c].type)) {
            std::memcpy(out, "0,0,", 4);
            out += 4;
        }
    }
    // The comma after the last value becomes the line break.
    out[-1] = '\r';
    *out++ = '\n';
    return out;
}

void CsvFormat::check(const TranslationState& state) const {
    for (const std::string& name : state.variableNames)
        for (const char* column : fixedColumns)
            if (name == column)
                fail("the variable name \"" + shownInMessage(name) +
                     "\" repeats a column of the CSV header (tag, parcel, point, x, y, z).");
}

void CsvFormat::writeHeader(BufferedText& out, const TranslationState& state) const {
    std::string header = "tag,parcel,point,x,y,z";
    for (const std::string& name : state.variableNames) header += "," + csvField(name);
    header += "\r\n";
    out.raw(header);
}

void CsvFormat::writeLine(BufferedText& out, const TranslationState& state, const TextPath& path, std::uint64_t point,
                          const char* line, std::size_t length) const {
    const std::string& tag = state.tagNames[path.group];
    if (needsQuotes(tag))
        out.raw(csvField(tag));
    else
        out.raw(tag);
    char numbers[48];  // ",4294967295," and a 64-bit count, then ","
    char* end = numbers;
    *end++ = ',';
    end = std::to_chars(end, end + 10, path.parcel).ptr;
    *end++ = ',';
    end = std::to_chars(end, end + 20, point).ptr;
    *end++ = ',';
    out.raw(numbers, static_cast<std::size_t>(end - numbers));
    out.raw(line, length);
}
