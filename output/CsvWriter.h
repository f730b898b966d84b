#ifndef OUTPUT_CSVWRITER_H
#define OUTPUT_CSVWRITER_H

#include <cstddef>
#include <cstdint>
#include <string>

#include "PointFormat.h"
#include "TextFormat.h"

// The values of a CSV row after its tag, parcel and point: x, y and z of the
// position (a scalar position gives x, then 0 and 0), then every written
// variable, each in the shortest text that reads back to the same float,
// double or unsigned value; the row ends with CR LF.
class CsvPointFormat : public PointFormat {
public:
    std::size_t lineRoom(const LineColumn* columns, std::size_t count) const override;
    char* writeLine(char* out, const LineColumn* columns, std::size_t count, std::size_t point) const override;
};

// Long-format CSV (RFC 4180): the header row "tag,parcel,point,x,y,z," and
// the variable names, then one row per point, path after path in ZRP order:
// the tag name, the parcel index, the point's number within its path from 0,
// then the values.
class CsvFormat : public TextFormat {
public:
    const PointFormat& pointFormat() const override { return points; }
    // Refuses a variable name that repeats one of the fixed columns.
    void check(const TranslationState& state) const override;
    void writeHeader(BufferedText& out, const TranslationState& state) const override;
    void writePathStart(BufferedText&, const TranslationState&, const TextPath&) const override {}
    void writeLine(BufferedText& out, const TranslationState& state, const TextPath& path, std::uint64_t point,
                   const char* line, std::size_t length) const override;

private:
    CsvPointFormat points;
};

// A field as RFC 4180 writes it: in double quotes, with its double quotes
// doubled, when it holds a comma, a double quote, CR or LF; as it is otherwise.
std::string csvField(const std::string& text);

#endif
