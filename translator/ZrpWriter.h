#ifndef TRANSLATOR_ZRPWRITER_H
#define TRANSLATOR_ZRPWRITER_H

#include <ostream>

struct TranslationState;

// Writes the ZRP particle-path file of the state: the header, the tag and
// variable names, then every path that holds points, group by group and by
// ascending parcel index within a group. The text goes out in large pieces;
// it stops early once the stream has failed, and the caller checks the
// stream afterwards. The state is not const: each group's paths are put in
// index order in place.
void writeZrp(std::ostream& out, TranslationState& state);

#endif
