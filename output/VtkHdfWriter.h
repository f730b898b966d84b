#ifndef OUTPUT_VTKHDFWRITER_H
#define OUTPUT_VTKHDFWRITER_H

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

#include "PointStore.h"
#include "TrackLayout.h"

// VTK's HDF5 layout of a track: one piece of an unstructured grid, the
// layout VTK 9.1's vtkHDFReader and ParaView 5.11 read (they do not read its
// PolyData layout). One cell per path: a polyline, or a vertex for a path
// of one point, the cell VTK has for it, which VTK draws (a polyline of one
// point reads back, but draws nothing). The positions as
// the Points, three floating components each; every written variable as
// point data in its array's type; the cell data "Parcel Index" (uint32) and
// "Tag Group" (int32, the group's number from 1); the tag names as the field
// data "Tag Names", variable-length ASCII strings (vtkHDFReader 9.1 reads
// them back byte for byte, but not those marked UTF-8).
// Why `name` cannot name a dataset of a group; empty when it can.
std::string datasetNameProblem(const std::string& name);
// Writes the file at `path`, created anew or over what is there (see
// Hdf5File), window after window of the store: each window's rows go to
// every point array at once, so that a store in partitions reads its spill
// file once. The cells come from the index, `pieceBytes` at a time.
void writeVtkHdf(const std::string& path, bool create, const TrackLayout& layout, PointStore& store,
                 std::size_t pieceBytes, const std::function<void(std::uint64_t pointsWritten)>& progress);

#endif
