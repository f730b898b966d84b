#include "PathReader.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "CommandLine.h"
#include "ModuleSupport.h"
#include "TrackPaths.h"

namespace py = pybind11;

namespace {

struct PyPath {
    py::object tagName;
    std::size_t tag = 0;  // the group's number, from 1
    std::uint32_t parcel = 0;
    py::object position;
    py::dict variables;
    std::size_t points = 0;
};

// The budget `memory` asks for: 0 (the translator's default) for None.
std::uint64_t budgetOf(const py::object& memory) {
    if (memory.is_none()) return 0;
    std::uint64_t bytes = 0;
    if (py::isinstance<py::str>(memory)) {
        if (!parseMemorySize(memory.cast<std::string>(), bytes))
            throw py::value_error(
                "trkfile.paths: memory must be a positive whole number of bytes, or a string of one with K, M or G "
                "such as '64M', not " +
                py::repr(memory).cast<std::string>());
    } else if (py::isinstance<py::int_>(memory) && !py::isinstance<py::bool_>(memory)) {
        if (memory < py::int_(1))
            throw py::value_error("trkfile.paths: memory must be a positive whole number of bytes, not " +
                                  py::repr(memory).cast<std::string>());
        bytes = memory.cast<std::uint64_t>();
    } else {
        throw py::type_error(std::string("trkfile.paths: memory must be None, an int or a str, not ") +
                             Py_TYPE(memory.ptr())->tp_name);
    }
    // As the translator: below a megabyte the partitions' buffers would outgrow the budget.
    if (bytes < minimumMemoryBudget)
        throw py::value_error("trkfile.paths: memory must be at least 1M, not " + py::repr(memory).cast<std::string>());
    return bytes;
}

// The iterator. Both passes run at its first step, with the interpreter
// lock released and the parser taken; the paths are then handed out from
// the store without the parser, so that other reads may run between them.
// Each path's arrays are copies: the store reuses its window, and a copy of
// a path is small.
class PathReader {
public:
    PathReader(Input opened, std::uint64_t budget)
        : input(std::make_unique<Input>(std::move(opened))), budget(budget) {}

    PyPath next() {
        if (running) throw py::value_error("the paths iterator is already running");
        if (finished) throw py::stop_iteration();
        Running marked(running);
        try {
            if (!paths) start();
            TrackPaths::Path path;
            bool found = false;
            {
                py::gil_scoped_release release;
                found = paths->next(path);
            }
            if (!found) throw py::stop_iteration();
            return handedOut(path);
        } catch (...) {
            // What the reading holds goes at once: the spill file above all.
            release();
            throw;
        }
    }

    void close() {
        if (running) throw py::value_error("the paths iterator is running and cannot be closed");
        release();
    }

private:
    struct Running {
        explicit Running(bool& flag) : flag(flag) { flag = true; }
        ~Running() { flag = false; }
        bool& flag;
    };

    void start() {
        std::unique_ptr<TrackPaths> read;
        readReleased(*input, [&] {
            std::istream stream(input->buffer.get());
            read = std::make_unique<TrackPaths>(stream, input->name, budget);
        });
        input.reset();
        paths = std::move(read);
        warn(paths->warning());
        for (const std::string& name : paths->layout().tags()) tagNames.push_back(nameOf(name));
        // Keyed as read() keys them: the written variables alone.
        VariableKeys keys;
        const std::vector<LayoutArray>& arrays = paths->layout().arrays();
        variableKeys.push_back(py::none());
        for (std::size_t a = 1; a < arrays.size(); ++a)
            variableKeys.push_back(nameOf(keys.keyOf(arrays[a].name, arrays[a].variable)));
    }

    PyPath handedOut(const TrackPaths::Path& path) const {
        PyPath result;
        result.tagName = tagNames.at(path.group);
        result.tag = path.group + 1;
        result.parcel = path.parcel;
        result.points = path.arrays.at(0).rows;
        result.position = copyToPython(path.arrays[0]);
        for (std::size_t a = 1; a < path.arrays.size(); ++a)
            result.variables[variableKeys[a]] = copyToPython(path.arrays[a]);
        return result;
    }

    void release() {
        finished = true;
        paths.reset();
        input.reset();
    }

    std::unique_ptr<Input> input;  // until both passes have run
    std::uint64_t budget;
    std::unique_ptr<TrackPaths> paths;
    std::vector<py::object> tagNames;
    std::vector<py::object> variableKeys;  // by layout array; the position's is None
    bool running = false;
    bool finished = false;
};

std::unique_ptr<PathReader> readPaths(const py::object& source, const py::object& memory) {
    const std::uint64_t budget = budgetOf(memory);
    Input input = inputOf(source, "paths");
    requireSeekable(input, "paths");
    return std::make_unique<PathReader>(std::move(input), budget);
}

}  // namespace

void addPaths(py::module_& module) {
    py::class_<PyPath>(module, "Path", "One particle path (see paths).")
        .def_readonly("tag_name", &PyPath::tagName, "Its tag group's name.")
        .def_readonly("tag", &PyPath::tag, "Its tag group's number, from 1.")
        .def_readonly("parcel", &PyPath::parcel, "Its parcel index.")
        .def_readonly("position", &PyPath::position, "Shape (n, 3), or (n,) as in read(); the stored type.")
        .def_readonly("variables", &PyPath::variables, "Each written variable's values, keyed as in read().")
        .def("__len__", [](const PyPath& path) { return path.points; })
        .def("__repr__", [](const PyPath& path) {
            return py::str("<trkfile.Path: tag group {} {!r}, parcel {}, {}>")
                .format(path.tag, path.tagName, path.parcel, counted(path.points, "point"));
        });

    py::class_<PathReader>(module, "PathReader", "An iterator over the paths of a track file (see paths).")
        .def("__iter__", [](py::object self) { return self; })
        .def("__next__", &PathReader::next)
        .def("close", &PathReader::close, "Ends the iteration and removes its spill file at once.")
        .def("__enter__", [](py::object self) { return self; })
        .def("__exit__", [](PathReader& reader, py::args) { reader.close(); });

    module.def("paths", &readPaths, py::arg("path"), py::arg("memory") = py::none(),
               "Iterates over the paths of a track file, given by its path or as a seekable binary\n"
               "file object, in the order of its ZRP translation: each a Path with tag_name, tag,\n"
               "parcel, position and variables (keyed as in read). The file is read in two passes\n"
               "at the first step, within `memory` (bytes, or a string such as '64M'; by default\n"
               "the translator's budget): points that do not fit are kept in a spill file and read\n"
               "back as the paths are asked for, so a file larger than memory can be walked.\n"
               "Raises TrackError (the translator's message) when the index of the paths alone\n"
               "does not fit the budget. close(), or leaving a with block, removes the spill file.");
}
