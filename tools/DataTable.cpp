#include "DataTable.h"

#include <cstddef>
#include <iostream>

#include "TrackData.h"

void printDataTable(const std::string& title, const ChunkLayout& layout, std::vector<std::vector<char>>& data) {
    std::cout << "\n" << title << "\n";
    std::vector<std::size_t> shown;
    for (std::size_t v = 0; v < layout.variables.size(); ++v) {
        const VariableLayout& variable = layout.variables[v];
        if (variable.columnProblem.empty()) {
            shown.push_back(v);
        } else {
            std::cout << "  left out: " << variable.label << ": " << variable.columnProblem << "\n";
        }
    }

    // Names right-aligned over their values, which printData right-aligns.
    for (std::size_t v : shown) {
        const VariableLayout& variable = layout.variables[v];
        const std::size_t width = static_cast<std::size_t>(columnWidth(variable.dataType));
        if (variable.label.size() < width) std::cout << std::string(width - variable.label.size(), ' ');
        std::cout << variable.label << ' ';
    }
    std::cout << "\n";

    for (std::int32_t point = 0; point < layout.size; ++point) {
        for (std::size_t v : shown) {
            const VariableLayout& variable = layout.variables[v];
            printData(variable.dataType, point, variable.dataSize, data[v].data());
        }
        std::cout << "\n";
    }
}
