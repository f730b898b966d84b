#ifndef TOOLS_DATATABLE_H
#define TOOLS_DATATABLE_H

#include <string>
#include <vector>

#include "RecordListing.h"

// Writes a steady chunk's data to standard output in the column form of
// printData: a title line, a line for each variable whose data cannot be
// shown, the variable names as a header, then one row per point. `data`
// holds each variable's Size * DataSize bytes, in the order of the layout.
void printDataTable(const std::string& title, const ChunkLayout& layout, std::vector<std::vector<char>>& data);

#endif
