#include "TrackPaths.h"

#include "ChunkSource.h"
#include "MemoryBudget.h"
#include "TwoPasses.h"

TrackPaths::TrackPaths(std::istream& input, const std::string& name, std::uint64_t budgetBytes)
    : budget(resolveBudget(budgetBytes, 0)), start(input.tellg()), trackLayout(surveyed(input, name)) {
    queue = std::make_unique<WorkQueue>(budget.threads);
    // No path is cut between windows, so that each is handed out whole.
    store = makeStore(trackLayout, budget.pointRoom(trackLayout), queue.get(), true);
    PlaceOptions placing;
    placing.pieceBytes = budget.pieceBytes;
    store->fill(
        trackLayout,
        [&]() -> std::istream& {
            input.clear();
            input.seekg(start);
            return input;
        },
        placing);
}

TrackLayout TrackPaths::surveyed(std::istream& input, const std::string& name) {
    SurveyOptions options;
    options.indexLimit = budget.indexLimit();
    options.pieceBytes = budget.pieceBytes;
    options.warn = [this](const std::string& text) { stopped = text; };
    ChunkSource source(input);
    return survey(source, name, options);
}

bool TrackPaths::next(Path& path) {
    const PathIndex& index = trackLayout.index;
    if (nextPath >= index.pathCount()) return false;
    const PathIndex::Path found = index.path(nextPath++);
    // Windows end where paths end: the path lies wholly in one.
    while (window == nullptr || found.firstPoint >= window->first() + window->count())
        window = &store->loadWindow(nextWindow++);
    path.group = found.group;
    path.parcel = found.parcel;
    path.arrays.clear();
    const std::vector<LayoutArray>& arrays = trackLayout.arrays();
    for (std::size_t a = 0; a < arrays.size(); ++a) {
        const ArrayTarget& target = window->arrays()[a];
        Array array;
        array.type = elementOf(arrays[a].type);
        array.rows = static_cast<std::size_t>(found.count);
        array.width = arrays[a].components;
        array.rowStride = target.pointStride;
        array.data = target.values + (found.firstPoint - window->first()) * target.pointStride;
        path.arrays.push_back(std::move(array));
    }
    return true;
}
