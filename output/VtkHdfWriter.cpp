#include "VtkHdfWriter.h"

#include <algorithm>
#include <vector>

#include "Hdf5File.h"
#include "TrackError.h"

namespace {

const std::string root = "/VTKHDF";

// VTK's cell types.
constexpr std::uint8_t vtkVertex = 1;
constexpr std::uint8_t vtkPolyLine = 4;

Hdf5Type hdf5TypeOf(ValueType type) {
    switch (type) {
        case ValueType::UInt32: return Hdf5Type::UInt32;
        case ValueType::Float32: return Hdf5Type::Float32;
        case ValueType::Float64: return Hdf5Type::Float64;
    }
    return Hdf5Type::Float64;
}

}  // namespace

std::string datasetNameProblem(const std::string& name) {
    if (name.empty()) return "it is empty";
    if (name == ".") return "HDF5 takes it for the group itself";
    if (name.find('/') != std::string::npos) return "HDF5 takes a / in it for a path";
    if (name.find('\0') != std::string::npos) return "it holds a zero byte, which ends a name in HDF5";
    return "";
}

namespace {

// Values of one dataset gathered a piece at a time, each piece written as
// it fills.
template <typename T>
class PieceWriter {
public:
    PieceWriter(Hdf5Dataset dataset, std::size_t pieceBytes)
        : dataset(std::move(dataset)), values(std::max<std::size_t>(1, pieceBytes / sizeof(T))) {}
    void add(T value) {
        values[used++] = value;
        if (used == values.size()) flush();
    }
    void flush() {
        dataset.write(written, used, values.data());
        written += used;
        used = 0;
    }

private:
    Hdf5Dataset dataset;
    std::vector<T> values;
    std::size_t used = 0;
    std::uint64_t written = 0;
};

// One value per path (and `before` ahead of them), from the index.
template <typename T, typename Value>
void writePerPath(Hdf5File& file, const std::string& name, Hdf5Type type, const PathIndex& index,
                  std::size_t pieceBytes, Value value, std::uint64_t before = 0) {
    PieceWriter<T> out(file.createDataset(name, type, before + index.pathCount()), pieceBytes);
    for (std::uint64_t k = 0; k < before; ++k) out.add(T(0));
    index.forEachPath([&](const PathIndex::Path& path) { out.add(value(path)); });
    out.flush();
}

void writeCount(Hdf5File& file, const std::string& name, std::uint64_t count) {
    const std::int64_t value = static_cast<std::int64_t>(count);
    file.createDataset(name, Hdf5Type::Int64, 1).write(0, 1, &value);
}

// The point arrays, each window's rows to every array in slices of a few
// megabytes.
void writePoints(Hdf5File& file, const TrackLayout& track, PointStore& store,
                 const std::function<void(std::uint64_t)>& progress) {
    const std::vector<LayoutArray>& arrays = track.arrays();
    const std::uint64_t points = track.index.pointCount();
    std::vector<Hdf5Dataset> datasets;
    for (std::size_t a = 0; a < arrays.size(); ++a)
        datasets.push_back(file.createDataset(a == 0 ? root + "/Points" : root + "/PointData/" + arrays[a].name,
                                              hdf5TypeOf(arrays[a].type), points,
                                              arrays[a].components == 1 ? 0 : arrays[a].components));
    if (points == 0) return;

    constexpr std::uint64_t slice = std::uint64_t(4) << 20;
    store.forEachWindow([&](const PointWindow& window) {
        for (std::size_t a = 0; a < arrays.size(); ++a) {
            const std::uint64_t rowBytes = arrays[a].rowBytes();
            const std::uint64_t sliceRows = std::max<std::uint64_t>(1, slice / rowBytes);
            for (std::uint64_t row = 0; row < window.count(); row += sliceRows) {
                const std::uint64_t rows = std::min(sliceRows, window.count() - row);
                datasets[a].write(window.first() + row, rows, window.values(a) + row * rowBytes);
                if (progress) progress(window.first() + (a * window.count() + row + rows) / arrays.size());
            }
        }
    });
}

// The cells from the index alone: the points are stored path by path, so
// the connectivity counts them.
void writeCells(Hdf5File& file, const PathIndex& index, std::size_t pieceBytes) {
    PieceWriter<std::int64_t> connectivity(
        file.createDataset(root + "/Connectivity", Hdf5Type::Int64, index.pointCount()), pieceBytes);
    for (std::uint64_t point = 0; point < index.pointCount(); ++point)
        connectivity.add(static_cast<std::int64_t>(point));
    connectivity.flush();

    std::int64_t end = 0;
    writePerPath<std::int64_t>(
        file, root + "/Offsets", Hdf5Type::Int64, index, pieceBytes,
        [&](const PathIndex::Path& path) { return end += static_cast<std::int64_t>(path.count); }, 1);
    writePerPath<std::uint8_t>(file, root + "/Types", Hdf5Type::UInt8, index, pieceBytes,
                               [](const PathIndex::Path& path) { return path.count == 1 ? vtkVertex : vtkPolyLine; });
    writePerPath<std::uint32_t>(file, root + "/CellData/Parcel Index", Hdf5Type::UInt32, index, pieceBytes,
                                [](const PathIndex::Path& path) { return path.parcel; });
    writePerPath<std::int32_t>(file, root + "/CellData/Tag Group", Hdf5Type::Int32, index, pieceBytes,
                               [](const PathIndex::Path& path) { return static_cast<std::int32_t>(path.group + 1); });
}

void writeTagNames(Hdf5File& file, const TrackLayout& track, std::size_t pieceBytes) {
    PieceWriter<const char*> names(
        file.createDataset(root + "/FieldData/Tag Names", Hdf5Type::String, track.groupCount()), pieceBytes);
    for (const std::string& tag : track.tags()) names.add(tag.c_str());
    names.flush();
}

}  // namespace

void writeVtkHdf(const std::string& path, bool create, const TrackLayout& track, PointStore& store,
                 std::size_t pieceBytes, const std::function<void(std::uint64_t pointsWritten)>& progress) {
    const PathIndex& index = track.index;
    Hdf5File file(path, create);
    file.createGroup(root);
    file.writeAttribute(root, "Version", {1, 0});
    file.writeTextAttribute(root, "Type", "UnstructuredGrid");
    for (const char* group : {"/PointData", "/CellData", "/FieldData"}) file.createGroup(root + group);
    writeCount(file, root + "/NumberOfPoints", index.pointCount());
    writeCount(file, root + "/NumberOfCells", index.pathCount());
    writeCount(file, root + "/NumberOfConnectivityIds", index.pointCount());
    writePoints(file, track, store, progress);
    writeCells(file, index, pieceBytes);
    writeTagNames(file, track, pieceBytes);
    file.close();
}
