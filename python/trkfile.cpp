// The Python module trkfile: track files read into numpy arrays, with the
// translator's checks and messages.

#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>
#include <pybind11/stl/filesystem.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <memory>
#include <mutex>
#include <string>

#include "ChunkSource.h"
#include "FileBuffer.h"
#include "TrackArrays.h"
#include "TrackError.h"

namespace py = pybind11;

namespace {

// The property parser keeps its state in globals: in the whole process one
// chunk source at a time may read.
std::mutex parserMutex;

PyObject* trackWarning = nullptr;

py::dtype dtypeOf(ElementType type) {
    switch (type) {
        case ElementType::Int32: return py::dtype::of<std::int32_t>();
        case ElementType::Int64: return py::dtype::of<std::int64_t>();
        case ElementType::UInt32: return py::dtype::of<std::uint32_t>();
        case ElementType::Float32: return py::dtype::of<float>();
        default: return py::dtype::of<double>();
    }
}

// A numpy array over the array's memory, which the array object then keeps:
// nothing is copied. Raw columns become bytes.
py::object toPython(Array& array) {
    if (array.type == ElementType::Bytes) return py::bytes(array.data, array.rows * array.rowStride);
    auto owner = std::make_unique<std::shared_ptr<void>>(std::move(array.owner));
    py::capsule base(owner.get(), [](void* memory) { delete static_cast<std::shared_ptr<void>*>(memory); });
    owner.release();
    std::vector<py::ssize_t> shape{py::ssize_t(array.rows)};
    std::vector<py::ssize_t> strides{py::ssize_t(array.rowStride)};
    if (array.width != 1) {
        shape.push_back(py::ssize_t(array.width));
        strides.push_back(py::ssize_t(elementSize(array.type)));
    }
    return py::array(dtypeOf(array.type), shape, strides, array.data, base);
}

// Raises OSError(error, text, path), which Python makes FileNotFoundError,
// IsADirectoryError, PermissionError... after the errno.
[[noreturn]] void raiseOSError(int error, const std::string& path, const std::string& text = "") {
    const py::object exception =
        py::reinterpret_borrow<py::object>(PyExc_OSError)(error, text.empty() ? std::strerror(error) : text, path);
    PyErr_SetObject(reinterpret_cast<PyObject*>(Py_TYPE(exception.ptr())), exception.ptr());
    throw py::error_already_set();
}

void warn(const std::string& text) {
    if (!text.empty() && PyErr_WarnEx(trackWarning, text.c_str(), 1) != 0) throw py::error_already_set();
}

struct PyTracks {
    py::list tagNames;
    py::object tag, parcel, pathOffsets, position;
    py::dict variables;
    std::size_t points = 0;
    std::size_t paths = 0;
};

struct PyChunk {
    std::uint64_t record = 0;
    std::uint64_t offset = 0;
    std::int32_t id = 0;
    std::string name;
    std::int32_t size = 0;
    py::dict variables;
};

std::string joined(const py::dict& dict) {
    std::string text;
    for (const auto& entry : dict) text += (text.empty() ? "" : ", ") + py::str(entry.first).cast<std::string>();
    return text.empty() ? "none" : text;
}

PyTracks readFile(const std::filesystem::path& path) {
    const std::string name = path.string();
    Tracks tracks;
    int error = 0;
    bool seekable = true;
    {
        py::gil_scoped_release release;
        FileBuffer file;
        error = file.open(name);
        seekable = error != 0 || file.seekable();
        if (error == 0 && seekable) {
            std::lock_guard<std::mutex> lock(parserMutex);
            std::istream input(&file);
            try {
                tracks = readTracks(input, name);
            } catch (const std::exception&) {
                // A failed read looked like the end of the file: its error
                // is the one to report.
                if (file.error() == 0) throw;
            }
            error = file.error();
        }
    }
    if (!seekable) raiseOSError(ESPIPE, name, "trkfile.read reads a file twice and cannot read a pipe (chunks() can)");
    if (error != 0) raiseOSError(error, name);
    warn(tracks.warning);

    PyTracks result;
    for (const std::string& tagName : tracks.tagNames) result.tagNames.append(tagName);
    result.points = tracks.tag.rows;
    result.paths = tracks.pathOffsets.rows - 1;
    result.tag = toPython(tracks.tag);
    result.parcel = toPython(tracks.parcel);
    result.pathOffsets = toPython(tracks.pathOffsets);
    result.position = toPython(tracks.position);
    for (NamedArray& variable : tracks.variables) result.variables[py::str(variable.name)] = toPython(variable.array);
    return result;
}

// The steady chunks of a file, one at a time.
class ChunkReader {
public:
    explicit ChunkReader(const std::string& name) : name(name), input(&file) {}

    // 0, or the errno of the failure.
    int open() {
        const int error = file.open(name);
        if (error == 0) source = std::make_unique<ChunkSource>(input);
        return error;
    }

    PyChunk next() {
        ChunkArrays chunk;
        std::string warning;
        bool found = false;
        int error = 0;
        {
            py::gil_scoped_release release;
            std::lock_guard<std::mutex> lock(parserMutex);
            if (!finished) {
                finished = true;  // also after a fault
                try {
                    found = nextChunk(*source, chunk, warning);
                } catch (const std::exception&) {
                    if (file.error() == 0) throw;
                }
                error = file.error();
                finished = !found || error != 0;
            }
        }
        if (error != 0) raiseOSError(error, name);
        warn(warning);
        if (!found) throw py::stop_iteration();
        PyChunk result;
        result.record = chunk.record;
        result.offset = chunk.offset;
        result.id = chunk.id;
        result.name = chunk.name;
        result.size = chunk.size;
        for (NamedArray& variable : chunk.variables)
            result.variables[py::str(variable.name)] = toPython(variable.array);
        return result;
    }

private:
    std::string name;
    FileBuffer file;
    std::istream input;
    std::unique_ptr<ChunkSource> source;
    bool finished = false;  // guarded by parserMutex
};

std::unique_ptr<ChunkReader> readChunks(const std::filesystem::path& path) {
    auto reader = std::make_unique<ChunkReader>(path.string());
    int error = 0;
    {
        // Opening a named pipe waits for its writer.
        py::gil_scoped_release release;
        error = reader->open();
    }
    if (error != 0) raiseOSError(error, path.string());
    return reader;
}

}  // namespace

PYBIND11_MODULE(trkfile, m) {
    m.doc() =
        "Track files read into numpy arrays, with the checks and messages of trk_to_zrp.\n\n"
        "read(path) gives the whole track in the order of its ZRP file; chunks(path) streams\n"
        "the steady track chunks one at a time.";

    py::register_exception<TrackError>(m, "TrackError", PyExc_ValueError);
    trackWarning = PyErr_NewExceptionWithDoc(
        "trkfile.TrackWarning", "Reading stopped early at bytes that do not parse; the records before them were read.",
        PyExc_UserWarning, nullptr);
    if (trackWarning == nullptr) throw py::error_already_set();
    m.attr("TrackWarning") = py::reinterpret_borrow<py::object>(trackWarning);

    py::class_<PyTracks>(m, "Tracks", "A track in the order of its ZRP file (see read).")
        .def_readonly("tag_names", &PyTracks::tagNames, "The tag groups' names, in order of first appearance.")
        .def_readonly("tag", &PyTracks::tag, "int32 per point: its group's number, from 1.")
        .def_readonly("parcel", &PyTracks::parcel, "uint32 per point: its parcel index.")
        .def_readonly("path_offsets", &PyTracks::pathOffsets,
                      "int64, one more than the paths: path k is points path_offsets[k]:path_offsets[k+1].")
        .def_readonly("position", &PyTracks::position,
                      "Shape (n, 3), or (n,) when every chunk's position is a scalar; the stored type.")
        .def_readonly("variables", &PyTracks::variables,
                      "Each written variable's name to its values: (n,) or, for a vector, (n, 3).")
        .def("__repr__", [](const PyTracks& tracks) {
            return "<trkfile.Tracks: " + std::to_string(tracks.points) + " points, " + std::to_string(tracks.paths) +
                   " paths, " + std::to_string(py::len(tracks.tagNames)) + " tag groups, variables " +
                   joined(tracks.variables) + ">";
        });

    py::class_<PyChunk>(m, "Chunk", "One steady track chunk (see chunks).")
        .def_readonly("record", &PyChunk::record, "Its record number in the file, from 1.")
        .def_readonly("offset", &PyChunk::offset, "The byte at which its block begins.")
        .def_readonly("id", &PyChunk::id)
        .def_readonly("name", &PyChunk::name)
        .def_readonly("size", &PyChunk::size, "Its points.")
        .def_readonly("variables", &PyChunk::variables,
                      "Every variable's column by name: arrays in the stored type, raw bytes where the\n"
                      "type is not 0, 2 or 3 or the data type cannot be read.")
        .def("__repr__", [](const PyChunk& chunk) {
            return "<trkfile.Chunk: record " + std::to_string(chunk.record) + " at byte " +
                   std::to_string(chunk.offset) + ", Id " + std::to_string(chunk.id) + ", Name '" + chunk.name +
                   "', Size " + std::to_string(chunk.size) + ">";
        });

    py::class_<ChunkReader>(m, "ChunkReader", "An iterator over the steady track chunks of a file.")
        .def("__iter__", [](py::object self) { return self; })
        .def("__next__", &ChunkReader::next);

    m.def("read", &readFile, py::arg("path"),
          "Reads a whole track file: a Tracks object with tag_names, tag, parcel, path_offsets,\n"
          "position and variables, in the order of the file's ZRP translation. Raises TrackError\n"
          "with the translator's message for damaged or inconsistent data, OSError (e.g.\n"
          "FileNotFoundError) when the file cannot be read, and warns with TrackWarning when\n"
          "reading stopped at bytes that do not parse.");
    m.def("chunks", &readChunks, py::arg("path"),
          "Iterates over the steady track chunks of a file in file order, each a Chunk with record,\n"
          "offset, id, name, size and variables, without assembling paths: a file larger than\n"
          "memory is streamed. Reads pipes too.");
}
