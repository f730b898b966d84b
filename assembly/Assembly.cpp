#include "Assembly.h"

#include <algorithm>
#include <cassert>
#include <unordered_set>

#include "TrackError.h"

namespace {

const char* const vectorSuffixes[] = {"-u", "-v", "-w"};

[[noreturn]] void failMismatch() {
    throw TrackError(
        "Variable names mismatch.\n"
        "All TrackChunks must specify the samevariable names in the same order\n"
        "to be exported to the ASCII ZRP file format.\n");
}

// A data type that does not fit the variable's kind would put a number of
// values on the point line other than the names it has in the file's header.
// The position has no name there: a scalar one writes one value.
void checkKind(const TrackChunk& chunk, const ChunkVariable& variable, DataType type, bool position) {
    if (position) return;
    const bool wantsVector = variable.type == 2;
    if (isVectorType(type) == wantsVector) return;
    const std::string kind = wantsVector ? "a vector variable (type 2)" : "a scalar variable (type 0)";
    failVariable(chunk, variable, "\"DataType\" \"" + checkDataType(variable).name + "\" does not fit " + kind);
}

}  // namespace

bool isWrittenVariable(const TranslationState& state, const ChunkVariable& variable) {
    return (variable.type == 0 || variable.type == 2) && variable.index != state.positionVariable &&
           variable.index != state.parcelVariable;
}

Group& findTagGroup(TranslationState& state, const std::string& name) {
    const auto found = state.groupIndex.find(name);
    if (found != state.groupIndex.end()) {
        Group* zrp_tagGroup = state.groups[found->second].get();
        assert(zrp_tagGroup->tagName == name);
        return *zrp_tagGroup;
    }
    state.tagNames.push_back(name);
    std::unique_ptr<Group> group(new Group);
    group->tagName = name;
    group->number = static_cast<std::int32_t>(state.tagNames.size());
    state.groups.push_back(std::move(group));
    state.groupIndex.emplace(name, state.groups.size() - 1);
    return *state.groups.back();
}

bool isParcelIndexVariable(const ChunkVariable& variable) {
    return variable.type == 0 && (variable.name == "Parcel Index" || variable.tag == "ParcelId");
}

void analyseVariables(TranslationState& state, const TrackChunk& chunk) {
    std::unordered_set<std::string> known;
    // Two variables with one output name would give the point lines more
    // values than the header has names.
    auto addName = [&](const ChunkVariable& variable, const std::string& name) {
        if (!known.insert(name).second)
            failVariable(chunk, variable, "the output variable name \"" + name + "\" is declared twice");
        state.variableNames.push_back(name);
    };
    for (const ChunkVariable& variable : chunk.variables) {
        if (variable.type == 2) {
            for (const char* suffix : vectorSuffixes) addName(variable, variable.name + suffix);
        } else if (variable.type == 3) {
            state.foundPosition = true;
            state.positionVariable = variable.index;
        } else if (variable.type == 0) {
            if (isParcelIndexVariable(variable)) {
                // The earlier one would be written on every point line
                // without a name, and no later chunk could match this one.
                if (state.parcelVariable >= 0)
                    failVariable(chunk, variable, "a second parcel-index variable is declared");
                state.parcelVariable = variable.index;
            } else {
                addName(variable, variable.name);
            }
        }
    }
    if (!state.foundPosition) fail("Expecting a variable \"Position\"");
    if (state.parcelVariable < 0) fail("Expecting a variable \"Parcel Id\"");
}

void checkVariables(const TranslationState& state, const TrackChunk& chunk) {
    std::size_t k = 0;
    auto matches = [&](const std::string& name) {
        if (k < state.variableNames.size() && state.variableNames[k] == name) {
            ++k;
            return true;
        }
        return false;
    };
    for (const ChunkVariable& variable : chunk.variables) {
        if (variable.type == 2) {
            for (const char* suffix : vectorSuffixes)
                if (!matches(variable.name + suffix)) failMismatch();
        } else if (variable.type == 3) {
            if (variable.index != state.positionVariable) failMismatch();
        } else if (variable.type == 0) {
            if (isParcelIndexVariable(variable)) {
                if (variable.index != state.parcelVariable) failMismatch();
            } else if (!matches(variable.name)) {
                failMismatch();
            }
        }
    }
    // A chunk that declares fewer variables would give shorter point lines,
    // and one without a position or parcel index has no data for its points.
    const auto count = static_cast<std::int32_t>(chunk.variables.size());
    if (k != state.variableNames.size() || state.positionVariable >= count || state.parcelVariable >= count ||
        chunk.variables[static_cast<std::size_t>(state.positionVariable)].type != 3 ||
        !isParcelIndexVariable(chunk.variables[static_cast<std::size_t>(state.parcelVariable)]))
        failMismatch();
}

std::vector<LineColumn> pointColumns(const TranslationState& state, const TrackChunk& chunk) {
    // A parcel index of another data type keeps the message it has always had.
    const ChunkVariable& parcel = parcelVariableOf(state, chunk);
    const DataTypeCheck parcelType = checkDataType(parcel);
    if (parcelType.present && parcelType.name != "Unsigned4") fail("getDataValue() for \"Parcel Index\" failed.");
    readDataType(chunk, parcel);

    std::vector<LineColumn> columns;
    auto addColumn = [&](const ChunkVariable& variable, bool position) {
        const DataType type = readDataType(chunk, variable);
        checkKind(chunk, variable, type, position);
        columns.push_back({type, static_cast<std::size_t>(variable.dataSize), variable.data.data()});
    };
    addColumn(chunk.variables[static_cast<std::size_t>(state.positionVariable)], true);
    for (const ChunkVariable& variable : chunk.variables)
        if (isWrittenVariable(state, variable)) addColumn(variable, false);
    return columns;
}

const ChunkVariable& parcelVariableOf(const TranslationState& state, const TrackChunk& chunk) {
    return chunk.variables[static_cast<std::size_t>(state.parcelVariable)];
}

std::shared_ptr<const ChunkLines> chunkLines(const TranslationState& state, TrackChunk&& chunk) {
    auto lines = std::make_shared<ChunkLines>();
    lines->chunk = std::move(chunk);
    lines->columns = pointColumns(state, lines->chunk);
    const ChunkVariable& parcel = parcelVariableOf(state, lines->chunk);
    lines->parcels = parcel.data.data();
    lines->parcelStride = static_cast<std::size_t>(parcel.dataSize);
    return lines;
}

void addSlice(Group& group, FormattedSlice& slice) {
    const PointArena::Handle base = group.arena.adopt(slice.arena);
    const std::size_t count = slice.handles.size();
    // The slot of a point a few lines ahead is fetched while this one is
    // added: with many paths the table is out of the cache.
    constexpr std::size_t prefetchDistance = 8;
    for (std::size_t i = 0; i < count; ++i) {
        if (i + prefetchDistance < count)
            group.paths.prefetch(slice.lines->parcelAt(slice.firstPoint + i + prefetchDistance));
        group.addPoint(slice.lines->parcelAt(slice.firstPoint + i), base + slice.handles[i]);
    }
}

void checkChunkVariables(TranslationState& state, const TrackChunk& chunk) {
    if (state.firstChunk)
        analyseVariables(state, chunk);
    else
        checkVariables(state, chunk);
    state.firstChunk = false;
}
