#ifndef PYTHON_PATHREADER_H
#define PYTHON_PATHREADER_H

#include <pybind11/pybind11.h>

// trkfile.paths: the paths of a track one at a time, within a memory
// budget, and the Path and PathReader classes it gives.
void addPaths(pybind11::module_& module);

#endif
