// The Python module trkfile: track files read into numpy arrays, with the
// translator's checks and messages.

#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>

#include <exception>
#include <memory>
#include <string>

#include "ChunkSource.h"
#include "ModuleSupport.h"
#include "PathReader.h"
#include "TrackArrays.h"
#include "TrackError.h"
#include "TracksFrame.h"

namespace py = pybind11;

namespace {

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
    requireSeekable(input, "read");
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
    result.columnNames = std::move(tracks.columnNames);
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
        "read(path) gives the whole track in the order of its ZRP file; paths(path) hands out\n"
        "its paths one at a time within a memory budget; chunks(path) streams the steady\n"
        "track chunks one at a time. All also take a binary file object.";

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
        .def("__repr__",
             [](const PyTracks& tracks) {
                 std::string names;
                 for (const std::string& name : tracks.variableNames) names += (names.empty() ? "" : ", ") + name;
                 return messageOf("<trkfile.Tracks: " + counted(tracks.points, "point") + ", " +
                                  counted(tracks.paths, "path") + ", " +
                                  counted(py::len(tracks.tagNames), "tag group") + ", variables " +
                                  (names.empty() ? "none" : names) + ">");
             })
        .def("to_pandas", &framed,
             "One row a point, as a pandas DataFrame: the columns of the CSV output (tag, a\n"
             "categorical of the group names; parcel; point, its number within its path; x, y, z;\n"
             "the ZRP variable names, a vector's with -u, -v and -w) in their stored types, and\n"
             "path, the path's number from 0, for groupby('path'). Needs pandas.");

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

    addPaths(m);
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
