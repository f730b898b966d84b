#ifndef OUTPUT_ZRPWRITER_H
#define OUTPUT_ZRPWRITER_H

#include <ostream>

#include "PointFormat.h"

struct TranslationState;

// The point lines of a ZRP file: the position, then every written variable,
// each value as %.6g (an Unsigned4 in decimal) followed by one space.
class ZrpPointFormat : public PointFormat {
public:
    std::size_t lineRoom(const LineColumn* columns, std::size_t count) const override;
    char* writeLine(char* out, const LineColumn* columns, std::size_t count, std::size_t point) const override;
};

// Writes the ZRP particle-path file of the state: the header, the tag and
// variable names, then every path that holds points, group by group and by
// ascending parcel index within a group. The text goes out in large pieces;
// it stops early once the stream has failed, and the caller checks the
// stream afterwards. The state is not const: each group's paths are put in
// index order in place.
void writeZrp(std::ostream& out, TranslationState& state);

#endif
