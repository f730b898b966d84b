#include "VtkArrayNames.h"

#include <vector>

#include "TrackError.h"

OutputNeeds vtkPointNeeds() {
    OutputNeeds needs;
    needs.floatingPosition = true;
    needs.vectorPosition = true;
    return needs;
}

void checkVtkArrayNames(const TrackLayout& layout, std::string (*problem)(const std::string& name),
                        const std::string& cannot) {
    const std::vector<LayoutArray>& arrays = layout.arrays();
    for (std::size_t a = 1; a < arrays.size(); ++a) {
        const std::string& name = arrays[a].name;
        const std::string why = problem(name);
        if (!why.empty()) fail("the variable name \"" + shownInMessage(name) + "\" " + cannot + ": " + why + ".");
        for (std::size_t b = a + 1; b < arrays.size(); ++b)
            if (arrays[b].name == name)
                fail("two variables are named \"" + shownInMessage(name) +
                     "\": a VTK file would keep only one point array of that name.");
    }
}
