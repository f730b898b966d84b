// The Python module trkfile: track files read into numpy arrays, with the
// translator's checks and messages.

#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>

#include <cerrno>
#include <cstring>
#include <exception>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "ChunkSource.h"
#include "FileBuffer.h"
#include "ObjectBuffer.h"
#include "TrackArrays.h"
#include "TrackError.h"

namespace py = pybind11;

namespace {

// The property parser keeps its state in globals: in the whole process one
// chunk source at a time may read.
std::mutex parserMutex;

PyObject* trackError = nullptr;
PyObject* trackWarning = nullptr;

py::str decoded(const std::string& text, const char* errors) {
    PyObject* result = PyUnicode_DecodeUTF8(text.data(), Py_ssize_t(text.size()), errors);
    if (result == nullptr) throw py::error_already_set();
    return py::reinterpret_steal<py::str>(result);
}

// A name from the file (a tag group's, a variable's, a chunk's) is bytes:
// decoded so that os.fsencode gives the same bytes back.
py::str nameOf(const std::string& name) {
    return decoded(name, "surrogateescape");
}

// Text for people, which bytes from the file may be part of: those that are
// not UTF-8 show as \xff and the like, so it always prints.
py::str messageOf(const std::string& text) {
    return decoded(text, "backslashreplace");
}

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

// Raises OSError(error, text, filename), which Python makes
// FileNotFoundError, IsADirectoryError, PermissionError... after the errno.
[[noreturn]] void raiseOSError(int error, py::handle filename, const std::string& text = "") {
    const py::object exception = py::reinterpret_borrow<py::object>(PyExc_OSError)(
        error, messageOf(text.empty() ? std::strerror(error) : text), filename);
    PyErr_SetObject(reinterpret_cast<PyObject*>(Py_TYPE(exception.ptr())), exception.ptr());
    throw py::error_already_set();
}

void warn(const std::string& text) {
    if (!text.empty() && PyErr_WarnFormat(trackWarning, 1, "%U", messageOf(text).ptr()) != 0)
        throw py::error_already_set();
}

// What read and chunks were given to read: a path or a file object.
struct Input {
    std::unique_ptr<InputBuffer> buffer;
    std::string name;     // as messages name the input
    py::object filename;  // the path as given, for OSError; None for a file object
};

std::string fsencoded(py::handle path) {
    PyObject* bytes = nullptr;
    if (PyUnicode_FSConverter(path.ptr(), &bytes) == 0) throw py::error_already_set();
    return py::reinterpret_steal<py::bytes>(bytes);
}

Input inputOf(const py::object& source, const char* function) {
    Input input;
    if (py::isinstance<py::str>(source) || py::isinstance<py::bytes>(source) || py::hasattr(source, "__fspath__")) {
        input.filename = py::reinterpret_steal<py::object>(PyOS_FSPath(source.ptr()));
        if (!input.filename) throw py::error_already_set();
        input.name = fsencoded(input.filename);
        auto file = std::make_unique<FileBuffer>();
        int error = 0;
        {
            // Opening a named pipe waits for its writer.
            py::gil_scoped_release release;
            error = file->open(input.name);
        }
        if (error != 0) raiseOSError(error, input.filename);
        input.buffer = std::move(file);
    } else if (py::hasattr(source, "readinto")) {
        input.filename = py::none();
        input.buffer = std::make_unique<ObjectBuffer>(source);
        // The file's name where it has one (gzip.open's is its file's).
        const py::object name = py::getattr(source, "name", py::none());
        if (py::isinstance<py::str>(name) || py::isinstance<py::bytes>(name))
            input.name = fsencoded(name);
        else
            input.name = py::reinterpret_steal<py::bytes>(
                PyUnicode_AsEncodedString(py::repr(source).ptr(), "utf-8", "backslashreplace"));
    } else {
        PyErr_Format(PyExc_TypeError, "trkfile.%s takes a path or a binary file object, not %.200s", function,
                     Py_TYPE(source.ptr())->tp_name);
        throw py::error_already_set();
    }
    return input;
}

// Runs `read` with the interpreter lock released and the parser to itself.
// Then raises, first, what stopped the reading (Ctrl-C's KeyboardInterrupt,
// a file object's exception): the end of the input the reader met then was
// not the input's; then a read that failed; then what `read` threw.
template <typename Read>
void readReleased(Input& input, Read&& read) {
    std::exception_ptr fault;
    {
        py::gil_scoped_release release;
        std::lock_guard<std::mutex> lock(parserMutex);
        try {
            read();
        } catch (...) {
            fault = std::current_exception();
        }
    }
    input.buffer->raiseStopped();
    if (const int error = input.buffer->takeError()) raiseOSError(error, input.filename);
    if (fault) std::rethrow_exception(fault);
}

std::string counted(std::size_t count, const std::string& what) {
    return std::to_string(count) + " " + what + (count == 1 ? "" : "s");
}

struct PyTracks {
    py::list tagNames;
    py::object tag, parcel, pathOffsets, position;
    py::dict variables;
    std::size_t points = 0;
    std::size_t paths = 0;
    std::vector<std::string> variableNames;  // as stored, for the repr
};

struct PyChunk {
    std::uint64_t record = 0;
    std::uint64_t offset = 0;
    std::int32_t id = 0;
    py::object name;
    std::string storedName;  // for the repr
    std::int32_t size = 0;
    py::dict variables;
};

PyTracks readFile(const py::object& source) {
    Input input = inputOf(source, "read");
    if (!input.buffer->seekable()) {
        if (!input.filename.is_none())
            raiseOSError(ESPIPE, input.filename,
                         "trkfile.read reads a file twice and cannot read a pipe (chunks() can)");
        PyErr_SetString(py::module_::import("io").attr("UnsupportedOperation").ptr(),
                        "trkfile.read reads its input twice and needs a seekable file object (chunks() reads any)");
        throw py::error_already_set();
    }
    Tracks tracks;
    readReleased(input, [&] {
        std::istream stream(input.buffer.get());
        tracks = readTracks(stream, input.name);
    });
    warn(tracks.warning);

    PyTracks result;
    for (const std::string& tagName : tracks.tagNames) result.tagNames.append(nameOf(tagName));
    result.points = tracks.tag.rows;
    result.paths = tracks.pathOffsets.rows - 1;
    result.tag = toPython(tracks.tag);
    result.parcel = toPython(tracks.parcel);
    result.pathOffsets = toPython(tracks.pathOffsets);
    result.position = toPython(tracks.position);
    for (NamedArray& variable : tracks.variables) {
        result.variables[nameOf(variable.name)] = toPython(variable.array);
        result.variableNames.push_back(variable.name);
    }
    return result;
}

// The steady chunks of a file, one at a time.
class ChunkReader {
public:
    explicit ChunkReader(Input opened) : input(std::move(opened)), stream(input.buffer.get()), source(stream) {}

    PyChunk next() {
        ChunkArrays chunk;
        std::string warning;
        bool found = false;
        readReleased(input, [&] {
            if (finished) return;
            finished = true;  // also after a fault
            found = nextChunk(source, chunk, warning);
            finished = !found || input.buffer->ended();
        });
        warn(warning);
        if (!found) throw py::stop_iteration();
        PyChunk result;
        result.record = chunk.record;
        result.offset = chunk.offset;
        result.id = chunk.id;
        result.name = nameOf(chunk.name);
        result.storedName = chunk.name;
        result.size = chunk.size;
        for (NamedArray& variable : chunk.variables) result.variables[nameOf(variable.name)] = toPython(variable.array);
        return result;
    }

private:
    Input input;
    std::istream stream;
    ChunkSource source;
    bool finished = false;  // guarded by parserMutex
};

std::unique_ptr<ChunkReader> readChunks(const py::object& source) {
    return std::make_unique<ChunkReader>(inputOf(source, "chunks"));
}

}  // namespace

PYBIND11_MODULE(trkfile, m) {
    m.doc() =
        "Track files read into numpy arrays, with the checks and messages of trk_to_zrp.\n\n"
        "read(path) gives the whole track in the order of its ZRP file; chunks(path) streams\n"
        "the steady track chunks one at a time. Both also take a binary file object.";

    trackError =
        PyErr_NewExceptionWithDoc("trkfile.TrackError", "Damaged or inconsistent data, with the translator's message.",
                                  PyExc_ValueError, nullptr);
    if (trackError == nullptr) throw py::error_already_set();
    m.attr("TrackError") = py::reinterpret_borrow<py::object>(trackError);
    py::register_exception_translator([](std::exception_ptr fault) {
        try {
            if (fault) std::rethrow_exception(fault);
        } catch (const TrackError& error) {
            PyErr_SetObject(trackError, messageOf(error.what()).ptr());
        }
    });
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
            std::string names;
            for (const std::string& name : tracks.variableNames) names += (names.empty() ? "" : ", ") + name;
            return messageOf("<trkfile.Tracks: " + counted(tracks.points, "point") + ", " +
                             counted(tracks.paths, "path") + ", " + counted(py::len(tracks.tagNames), "tag group") +
                             ", variables " + (names.empty() ? "none" : names) + ">");
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
            return messageOf("<trkfile.Chunk: record " + std::to_string(chunk.record) + " at byte " +
                             std::to_string(chunk.offset) + ", Id " + std::to_string(chunk.id) + ", Name '" +
                             chunk.storedName + "', Size " + std::to_string(chunk.size) + ">");
        });

    py::class_<ChunkReader>(m, "ChunkReader", "An iterator over the steady track chunks of a file.")
        .def("__iter__", [](py::object self) { return self; })
        .def("__next__", &ChunkReader::next);

    m.def("read", &readFile, py::arg("path"),
          "Reads a whole track file, given by its path or as a seekable binary file object\n"
          "(read from where it stands): a Tracks object with tag_names, tag, parcel,\n"
          "path_offsets, position and variables, in the order of the file's ZRP translation.\n"
          "Raises TrackError with the translator's message for damaged or inconsistent data,\n"
          "OSError (e.g. FileNotFoundError) when the file cannot be read, and warns with\n"
          "TrackWarning when reading stopped at bytes that do not parse.");
    m.def("chunks", &readChunks, py::arg("path"),
          "Iterates over the steady track chunks of a file, given by its path or as a binary\n"
          "file object, in file order: each a Chunk with record, offset, id, name, size and\n"
          "variables, without assembling paths, so a file larger than memory is streamed.\n"
          "Reads pipes too.");
}
