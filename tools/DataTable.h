#ifndef TOOLS_DATATABLE_H
#define TOOLS_DATATABLE_H

#include <string>

#include "TrackChunk.h"

// Writes a steady chunk's data to standard output in the column form of
// printData: a title line, a line for each variable whose data cannot be
// shown, the variable names as a header, then one row per point. The
// chunk's data must have been read.
void printDataTable(const std::string& title, TrackChunk& chunk);

#endif
