#include "DataTable.h"

#include <cstddef>
#include <iostream>
#include <vector>

#include "RecordListing.h"
#include "TrackData.h"

namespace {

// A variable's column header: its name, or its number when it has none.
std::string columnLabel(const ChunkVariable& variable) {
    return variable.name.empty() ? "variable " + std::to_string(variable.index + 1) : variable.name;
}

}  // namespace

void printDataTable(const std::string& title, TrackChunk& chunk) {
    std::cout << "\n" << title << "\n";
    struct Column {
        ChunkVariable* variable;
        std::string dataType;
    };
    std::vector<Column> shown;
    for (ChunkVariable& variable : chunk.variables) {
        const DataTypeCheck check = checkDataType(variable);
        if (check.problem.empty()) {
            shown.push_back({&variable, check.name});
        } else {
            std::cout << "  left out: " << columnLabel(variable) << ": " << check.problem << "\n";
        }
    }

    // Names right-aligned over their values, which printData right-aligns.
    for (const Column& column : shown) {
        const std::string label = columnLabel(*column.variable);
        const std::size_t width = static_cast<std::size_t>(columnWidth(column.dataType));
        if (label.size() < width) std::cout << std::string(width - label.size(), ' ');
        std::cout << label << ' ';
    }
    std::cout << "\n";

    for (std::int32_t point = 0; point < chunk.size; ++point) {
        for (const Column& column : shown)
            printData(column.dataType, point, column.variable->dataSize, column.variable->data.data());
        std::cout << "\n";
    }
}
