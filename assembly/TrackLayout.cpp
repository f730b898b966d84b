#include "TrackLayout.h"

#include <unordered_set>

#include "TrackError.h"

namespace {

const char* const vectorSuffixes[] = {"-u", "-v", "-w"};

// What a group costs besides its name: the name's string, its entry in the
// lookup and the path index's group.
constexpr std::uint64_t groupOverhead = 160;

[[noreturn]] void failMismatch() {
    throw TrackError(
        "Variable names mismatch.\n"
        "All TrackChunks must specify the samevariable names in the same order\n"
        "to be exported to the ASCII ZRP file format.\n");
}

unsigned widthOf(const ChunkVariable& variable) {
    return variable.kind() == VariableKind::Vector ? 3 : 1;
}

// A data type that does not fit the variable's kind would put a number of
// values on the point line other than the names it has in the file's header.
// The position has no name there: a scalar one writes one value.
bool fitsKind(const ChunkVariable& variable, DataType type) {
    return isVectorType(type) == (variable.kind() == VariableKind::Vector);
}

void checkKind(const TrackChunk& chunk, const ChunkVariable& variable, DataType type) {
    if (fitsKind(variable, type)) return;
    const std::string kind =
        variable.kind() == VariableKind::Vector ? "a vector variable (type 2)" : "a scalar variable (type 0)";
    failVariable(chunk, variable, "\"DataType\" \"" + checkDataType(variable).name + "\" does not fit " + kind);
}

}  // namespace

std::size_t valueSize(ValueType type) {
    switch (type) {
        case ValueType::UInt32:
        case ValueType::Float32: return 4;
        case ValueType::Float64: return 8;
    }
    return 8;
}

ValueKind KindSet::single() const {
    const unsigned values = bits & ~(1u << static_cast<unsigned>(ValueKind::Absent));
    if (values == 0 || (values & (values - 1)) != 0) return ValueKind::Absent;
    return static_cast<ValueKind>(__builtin_ctz(values));
}

ValueKind kindOf(DataType type) {
    switch (type) {
        case DataType::Unsigned4: return ValueKind::Unsigned4;
        case DataType::Float4:
        case DataType::Vector3Float4: return ValueKind::Float4;
        case DataType::Float8:
        case DataType::Vector3Float8: return ValueKind::Float8;
        case DataType::Unknown: return ValueKind::Absent;
    }
    return ValueKind::Absent;
}

bool isParcelIndexVariable(const ChunkVariable& variable) {
    return variable.kind() == VariableKind::Scalar && (variable.name == "Parcel Index" || variable.tag == "ParcelId");
}

std::size_t TrackLayout::groupFor(const std::string& name) {
    std::size_t group;
    if (findGroup(name, group)) return group;
    tagNames.push_back(name);
    group = tagNames.size() - 1;
    groupByName.emplace(tagNames.back(), group);
    groupBytes += name.size() + groupOverhead;
    index.addGroup(group);
    return group;
}

bool TrackLayout::findGroup(const std::string& name, std::size_t& group) const {
    const auto found = groupByName.find(name);
    if (found == groupByName.end()) return false;
    group = found->second;
    return true;
}

bool TrackLayout::isWritten(const ChunkVariable& variable) const {
    const VariableKind kind = variable.kind();
    return (kind == VariableKind::Scalar || kind == VariableKind::Vector) && variable.index != positionVariable &&
           variable.index != parcelIndexVariable;
}

void TrackLayout::takeFirstChunk(const TrackChunk& chunk) {
    std::unordered_set<std::string> known;
    // Two variables with one output name would give the point lines more
    // values than the header has names.
    auto addName = [&](const ChunkVariable& variable, const std::string& name) {
        if (!known.insert(name).second)
            failVariable(chunk, variable, "the output variable name \"" + name + "\" is declared twice");
        outputNames.push_back(name);
    };
    bool foundPosition = false;
    for (const ChunkVariable& variable : chunk.variables) {
        switch (variable.kind()) {
            case VariableKind::Vector:
                for (const char* suffix : vectorSuffixes) addName(variable, variable.name + suffix);
                break;
            case VariableKind::Position:
                // A later one replaces an earlier one.
                foundPosition = true;
                positionVariable = variable.index;
                break;
            case VariableKind::Scalar:
                if (!isParcelIndexVariable(variable)) {
                    addName(variable, variable.name);
                } else {
                    // The earlier one would be written on every point line
                    // without a name, and no later chunk could match this one.
                    if (parcelIndexVariable >= 0)
                        failVariable(chunk, variable, "a second parcel-index variable is declared");
                    parcelIndexVariable = variable.index;
                }
                break;
            case VariableKind::Other: break;
        }
    }
    if (!foundPosition) fail("Expecting a variable \"Position\"");
    if (parcelIndexVariable < 0) {
        positionVariable = -1;
        fail("Expecting a variable \"Parcel Id\"");
    }

    LayoutArray position;
    position.name = chunk.variables[static_cast<std::size_t>(positionVariable)].name;
    position.variable = positionVariable;
    outputArrays.push_back(position);
    for (const ChunkVariable& variable : chunk.variables) {
        if (!isWritten(variable)) continue;
        LayoutArray array;
        array.name = variable.name;
        array.variable = variable.index;
        array.components = widthOf(variable);
        for (unsigned c = 0; c < array.components; ++c) slots.emplace_back(outputArrays.size(), c);
        outputArrays.push_back(array);
    }
}

void TrackLayout::checkVariables(const TrackChunk& chunk) const {
    std::size_t k = 0;
    auto matches = [&](const std::string& name) {
        if (k < outputNames.size() && outputNames[k] == name) {
            ++k;
            return true;
        }
        return false;
    };
    for (const ChunkVariable& variable : chunk.variables) {
        switch (variable.kind()) {
            case VariableKind::Vector:
                for (const char* suffix : vectorSuffixes)
                    if (!matches(variable.name + suffix)) failMismatch();
                break;
            case VariableKind::Position:
                if (variable.index != positionVariable) failMismatch();
                break;
            case VariableKind::Scalar:
                if (isParcelIndexVariable(variable)) {
                    if (variable.index != parcelIndexVariable) failMismatch();
                } else if (!matches(variable.name)) {
                    failMismatch();
                }
                break;
            case VariableKind::Other: break;
        }
    }
    // A chunk that declares fewer variables would give shorter point lines,
    // and one without a position or parcel index has no data for its points.
    const auto count = static_cast<std::int32_t>(chunk.variables.size());
    if (k != outputNames.size() || positionVariable >= count || parcelIndexVariable >= count ||
        chunk.variables[static_cast<std::size_t>(positionVariable)].kind() != VariableKind::Position ||
        !isParcelIndexVariable(chunk.variables[static_cast<std::size_t>(parcelIndexVariable)]))
        failMismatch();
}

const ChunkVariable& TrackLayout::parcelVariable(const TrackChunk& chunk) const {
    return chunk.variables[static_cast<std::size_t>(parcelIndexVariable)];
}

ChunkValues TrackLayout::valuesOf(const TrackChunk& chunk) const {
    // A parcel index of another data type keeps the message it has always had.
    const ChunkVariable& parcel = parcelVariable(chunk);
    const DataTypeCheck parcelType = checkDataType(parcel);
    if (parcelType.present && parcelType.name != "Unsigned4") fail("getDataValue() for \"Parcel Index\" failed.");
    readDataType(chunk, parcel);

    ChunkValues values;
    const ChunkVariable& position = chunk.variables[static_cast<std::size_t>(positionVariable)];
    const DataType positionType = readDataType(chunk, position);
    const unsigned positionWidth = isVectorType(positionType) ? 3 : 1;
    values.copies.push_back({positionVariable, 0, positionWidth, kindOf(positionType), 0, 0});
    if (positionWidth < outputArrays[0].components) values.absent.emplace_back(0, positionWidth);

    std::size_t slot = 0;
    for (const ChunkVariable& variable : chunk.variables) {
        if (!isWritten(variable)) continue;
        const DataType type = readDataType(chunk, variable);
        checkKind(chunk, variable, type);
        for (unsigned k = 0; k < widthOf(variable); ++k, ++slot) {
            const std::pair<std::size_t, unsigned>& place = slots.at(slot);
            ValueCopy* last = values.copies.size() > 1 ? &values.copies.back() : nullptr;
            // The components of a vector that go to one array in order are one copy.
            if (last != nullptr && last->variable == variable.index && last->array == place.first &&
                last->component + last->count == place.second) {
                ++last->count;
                continue;
            }
            values.copies.push_back({variable.index, k, 1, kindOf(type), place.first, place.second});
        }
    }
    return values;
}

void TrackLayout::noteKinds(const ChunkValues& values) {
    for (const ValueCopy& copy : values.copies) {
        outputArrays[copy.array].seen.add(copy.kind);
        if (copy.array != 0) continue;
        // A vector position makes the array one of three components; a
        // scalar one among vector ones leaves y and z absent.
        (copy.count == 3 ? vectorPositionSeen : scalarPositionSeen) = true;
        if (copy.count == 3) outputArrays[0].components = 3;
    }
}

void TrackLayout::noteDeclaredKinds(const TrackChunk& chunk) {
    // Chunks without points are not checked: what cannot be read is passed over.
    const auto declared = [](const ChunkVariable& variable) {
        const DataTypeCheck check = checkDataType(variable);
        return check.problem.empty() ? check.type : DataType::Unknown;
    };
    const DataType positionType = declared(chunk.variables[static_cast<std::size_t>(positionVariable)]);
    if (positionType != DataType::Unknown) {
        outputArrays[0].declared.add(kindOf(positionType));
        if (isVectorType(positionType)) vectorPositionDeclared = true;
    }
    std::size_t slot = 0;
    for (const ChunkVariable& variable : chunk.variables) {
        if (!isWritten(variable)) continue;
        const DataType type = declared(variable);
        for (unsigned k = 0; k < widthOf(variable); ++k, ++slot)
            if (type != DataType::Unknown && fitsKind(variable, type))
                outputArrays[slots.at(slot).first].declared.add(kindOf(type));
    }
}

bool TrackLayout::fits(const ChunkValues& values) const {
    for (const ValueCopy& copy : values.copies) {
        const LayoutArray& array = outputArrays[copy.array];
        if (!array.seen.has(copy.kind) || copy.component + copy.count > array.components) return false;
        if (copy.array == 0 && !(copy.count == 3 ? vectorPositionSeen : scalarPositionSeen)) return false;
    }
    return true;
}

void TrackLayout::resolveTypes(const OutputNeeds& needs) {
    const bool noPoints = index.pointCount() == 0;
    for (std::size_t a = 0; a < outputArrays.size(); ++a) {
        LayoutArray& array = outputArrays[a];
        const bool position = a == 0;
        // Chunks without points decide only where no chunk has points: the
        // arrays are empty then, and take the type the file declares.
        const KindSet& kinds = array.seen.empty() ? array.declared : array.seen;
        if (position)
            array.components =
                vectorPositionSeen || (noPoints && vectorPositionDeclared) || needs.vectorPosition ? 3 : 1;
        array.kind = kinds.empty() ? ValueKind::Float8 : kinds.single();
        switch (array.kind) {
            case ValueKind::Unsigned4:
                array.type = position && needs.floatingPosition ? ValueType::Float64 : ValueType::UInt32;
                break;
            case ValueKind::Float4: array.type = ValueType::Float32; break;
            // Float64 holds every Unsigned4, Float4 and Float8 value exactly.
            case ValueKind::Float8:
            case ValueKind::Absent: array.type = ValueType::Float64; break;
        }
        // Values of several kinds, or a position whose y and z are absent
        // for some points, keep each value's kind where the output asks.
        const bool mixed = array.kind == ValueKind::Absent;
        const bool partlyAbsent = position && array.components == 3 && scalarPositionSeen;
        array.tagged = needs.valueKinds && (mixed || partlyAbsent);
    }
}

std::size_t TrackLayout::pointBytes() const {
    std::size_t bytes = 0;
    for (const LayoutArray& array : outputArrays)
        bytes += array.components * (valueSize(array.type) + (array.tagged ? 1 : 0));
    return bytes;
}
