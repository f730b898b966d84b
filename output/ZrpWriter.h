#ifndef OUTPUT_ZRPWRITER_H
#define OUTPUT_ZRPWRITER_H

#include "TextFormat.h"

// The ZRP particle-path file: "ZRPARTICLES 2 1", the tag and variable names,
// then every path as its point count, its group number (unless there is one
// tag group) and its point lines: the position, then every written variable,
// each value as %.6g (an Unsigned4 in decimal) followed by one space.
class ZrpFormat : public TextFormat {
public:
    // Refuses a tag name that would break the file's lines.
    void begin(const TrackLayout& layout) override;
    void writeHeader(BufferedText& out, const TrackLayout& layout) const override;
    std::size_t pointRoom(const TrackLayout& layout) const override;
    char* writePathStart(char* out, const TrackLayout& layout, const PathIndex::Path& path) const override;
    char* writePoint(char* out, const TrackLayout& layout, const PathIndex::Path& path, std::uint64_t point,
                     const LineValue* values, std::size_t count) const override;
};

#endif
