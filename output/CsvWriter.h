#ifndef OUTPUT_CSVWRITER_H
#define OUTPUT_CSVWRITER_H

#include <string>
#include <vector>

#include "TextFormat.h"

// Long-format CSV (RFC 4180): the header row "tag,parcel,point,x,y,z," and
// the variable names, then one row per point, path after path in ZRP order:
// the tag name, the parcel index, the point's number within its path from 0,
// then x, y and z of the position (a scalar position gives x, then 0 and 0)
// and every written variable, each in the shortest text that reads back to
// the same float, double or unsigned value; rows end with CR LF.
class CsvFormat : public TextFormat {
public:
    // Refuses a variable name that repeats one of the fixed columns.
    void begin(const TrackLayout& layout) override;
    void writeHeader(BufferedText& out, const TrackLayout& layout) const override;
    std::size_t pointRoom(const TrackLayout& layout) const override;
    char* writePathStart(char* out, const TrackLayout&, const PathIndex::Path&) const override { return out; }
    char* writePoint(char* out, const TrackLayout& layout, const PathIndex::Path& path, std::uint64_t point,
                     const LineValue* values, std::size_t count) const override;

private:
    std::vector<std::string> tagFields;  // each group's name as a field
    std::size_t longestTag = 0;
};

// A field as RFC 4180 writes it: in double quotes, with its double quotes
// doubled, when it holds a comma, a double quote, CR or LF; as it is otherwise.
std::string csvField(const std::string& text);

#endif
