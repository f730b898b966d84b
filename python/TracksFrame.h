#ifndef PYTHON_TRACKSFRAME_H
#define PYTHON_TRACKSFRAME_H

#include <pybind11/pybind11.h>

#include <cstddef>
#include <string>
#include <vector>

// The Tracks object that trkfile.read gives, and its points as a pandas
// DataFrame.
struct PyTracks {
    pybind11::list tagNames;
    pybind11::object tag, parcel, pathOffsets, position;
    pybind11::dict variables;
    std::size_t points = 0;
    std::size_t paths = 0;
    std::vector<std::string> variableNames;  // as stored, for the repr
    std::vector<std::string> columnNames;    // the ZRP names: a vector's three with -u, -v and -w
};

// One row a point, its columns named as in the CSV output (tag, parcel,
// point, x, y, z, then the ZRP variable names) and then path, the path's
// number from 0. The tag is a categorical of the group names; the values
// keep their stored types. pandas is imported here, so that the module
// imports without it. A variable named like one of those first columns
// raises ValueError, as the CSV output refuses it.
pybind11::object framed(const PyTracks& tracks);

#endif
