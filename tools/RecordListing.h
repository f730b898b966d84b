#ifndef TOOLS_RECORDLISTING_H
#define TOOLS_RECORDLISTING_H

#include <string>
#include <vector>

#include <properties/Properties.h>

// The records of a track file as trk_dump lists them: what their blocks say,
// whatever the keys hold.

// The record's own keys that are present, in property text, such as
// "ClassName 'TrackChunk', Steady true, Id 1, Name 'A', Size 2"; other keys
// by name only. "Variables" is left to describeVariables when it is a list.
std::string describeBlock(const Properties& block);

// One line per element of "Variables": the descriptor's keys in property
// text, or what the element is when it is not a descriptor.
std::vector<std::string> describeVariables(const Properties& block);

// Characters printData takes for one element of this type, without the
// space that follows it.
int columnWidth(const std::string& dataType);

#endif
