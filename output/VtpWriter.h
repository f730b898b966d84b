#ifndef OUTPUT_VTPWRITER_H
#define OUTPUT_VTPWRITER_H

#include <cstdint>
#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include "PointStore.h"
#include "TrackLayout.h"

// The frame of a VTK XML PolyData file of one piece whose cells are lines:
// the XML text that describes every array, and the appended section in which
// the arrays' bytes follow one another, raw, each after its byte count as a
// little-endian UInt64. The bytes themselves are the caller's to write, in
// the order the arrays are listed.

enum class VtkType { Int32, UInt32, Int64, Float32, Float64, String };

// The name a DataArray's "type" attribute gives it.
const char* vtkTypeName(VtkType type);
// Bytes of one value; 0 for String.
std::size_t vtkTypeSize(VtkType type);

// Where an array belongs in the piece.
enum class VtpSection { FieldData, PointData, CellData, Points, Lines };

struct VtpArray {
    VtpSection section;
    std::string name;
    VtkType type;
    unsigned components;   // values per tuple
    std::uint64_t tuples;  // points, lines, or the entries of a field array
    std::uint64_t bytes;   // its data in the appended section, without the byte count
};

struct VtpLayout {
    std::uint64_t points = 0;
    std::uint64_t lines = 0;
    std::vector<VtpArray> arrays;  // in the order of their data in the appended section
};

// The XML text up to and including the "_" after which the appended data
// begins; every "offset" counts from the byte after it.
std::string vtpHeader(const VtpLayout& layout);
// The text after the last array's bytes.
std::string vtpFooter();
// The byte count that precedes an array's bytes.
std::string vtpBlockSize(std::uint64_t bytes);

// A value as an XML attribute holds it: &, <, >, " and the line breaks and
// tab (which a reader would turn into spaces) as references.
std::string xmlAttribute(const std::string& text);
// Why `text` cannot be written in the XML text at all (a control character
// other than tab, LF and CR, or bytes that are not UTF-8); empty when it can.
std::string xmlTextProblem(const std::string& text);

// The file of a track: one polyline per path (a path of a single point runs
// through that point twice, since VTK refuses a line of one point); the
// positions as the Points, three floating components each; every written
// variable as point data in its array's type; the cell data "Parcel Index"
// and "Tag Group"; the tag names as the field data "Tag Names".
// Writes the file, array after array, each from the store's windows in turn.
void writeVtp(std::ostream& out, const TrackLayout& layout, PointStore& store,
              const std::function<void(std::uint64_t pointsWritten)>& progress);

#endif
