#ifndef OUTPUT_ZRPWRITER_H
#define OUTPUT_ZRPWRITER_H

#include <ostream>

#include "PointFormat.h"
#include "TextFormat.h"

struct TranslationState;

// The point lines of a ZRP file: the position, then every written variable,
// each value as %.6g (an Unsigned4 in decimal) followed by one space.
class ZrpPointFormat : public PointFormat {
public:
    std::size_t lineRoom(const LineColumn* columns, std::size_t count) const override;
    char* writeLine(char* out, const LineColumn* columns, std::size_t count, std::size_t point) const override;
};

// The ZRP particle-path file: "ZRPARTICLES 2 1", the tag and variable names,
// then every path as its point count, its group number (unless there is one
// tag group) and its point lines.
class ZrpFormat : public TextFormat {
public:
    const PointFormat& pointFormat() const override { return points; }
    void writeHeader(BufferedText& out, const TranslationState& state) const override;
    void writePathStart(BufferedText& out, const TranslationState& state, const TextPath& path) const override;
    void writeLine(BufferedText& out, const TranslationState& state, const TextPath& path, std::uint64_t point,
                   const char* line, std::size_t length) const override;

private:
    ZrpPointFormat points;
};

// Writes the ZRP file of the state's paths (writeText in the ZRP format).
void writeZrp(std::ostream& out, TranslationState& state);

#endif
