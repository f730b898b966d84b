#include "TracksFrame.h"

#include <pybind11/numpy.h>

#include <cstdint>

#include "ModuleSupport.h"

namespace py = pybind11;

namespace {

const char* const firstColumns[] = {"tag", "parcel", "point", "x", "y", "z", "path"};

// Column k of a two-dimensional array.
py::object column(const py::object& array, int k) {
    return array[py::make_tuple(py::slice(py::none(), py::none(), py::none()), k)];
}

}  // namespace

py::object framed(const PyTracks& tracks) {
    const py::module_ pandas = py::module_::import("pandas");
    const py::module_ numpy = py::module_::import("numpy");
    for (const std::string& name : tracks.columnNames)
        for (const char* taken : firstColumns)
            if (name == taken)
                throw py::value_error(messageOf("the variable name \"" + name +
                                                "\" repeats a column of the frame (tag, parcel, point, x, y, z, "
                                                "path)"));

    // Each point's number within its path, and its path's.
    const auto offsets = tracks.pathOffsets.cast<py::array_t<std::int64_t>>();
    py::array_t<std::int64_t> point(py::ssize_t(tracks.points));
    py::array_t<std::int64_t> path(py::ssize_t(tracks.points));
    {
        const std::int64_t* first = offsets.data();
        std::int64_t* points = point.mutable_data();
        std::int64_t* paths = path.mutable_data();
        for (std::size_t k = 0; k < tracks.paths; ++k)
            for (std::int64_t p = first[k]; p < first[k + 1]; ++p) {
                points[p] = p - first[k];
                paths[p] = std::int64_t(k);
            }
    }

    py::dict columns;
    columns["tag"] = pandas.attr("Categorical")
                         .attr("from_codes")(tracks.tag.attr("__sub__")(1), py::arg("categories") = tracks.tagNames);
    columns["parcel"] = tracks.parcel;
    columns["point"] = point;
    const py::object& position = tracks.position;
    if (py::len(position.attr("shape")) == 2) {
        columns["x"] = column(position, 0);
        columns["y"] = column(position, 1);
        columns["z"] = column(position, 2);
    } else {
        // A scalar position is x, as in the CSV output.
        columns["x"] = position;
        const py::object zeros = numpy.attr("zeros")(tracks.points, position.attr("dtype"));
        columns["y"] = zeros;
        columns["z"] = zeros;
    }
    std::size_t name = 0;
    for (const auto& variable : tracks.variables) {
        const py::object values = py::reinterpret_borrow<py::object>(variable.second);
        if (py::len(values.attr("shape")) == 2) {
            for (int k = 0; k < 3; ++k) columns[nameOf(tracks.columnNames.at(name++))] = column(values, k);
        } else {
            columns[nameOf(tracks.columnNames.at(name++))] = values;
        }
    }
    columns["path"] = path;
    return pandas.attr("DataFrame")(columns);
}
