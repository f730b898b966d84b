#ifndef OUTPUT_HDF5FILE_H
#define OUTPUT_HDF5FILE_H

#include <cstdint>
#include <string>
#include <vector>

// A new HDF5 file written through the HDF5 C library, whose headers stay
// in Hdf5File.cpp. The library prints nothing: each failure ends the run as
// a TrackError, "could not write output file: " and the system's reason
// where the library met one (its own words otherwise).

// Element types, little-endian in the file. String is a variable-length
// ASCII string, written from a `const char*` per element.
enum class Hdf5Type { UInt8, Int32, UInt32, Int64, Float32, Float64, String };

// An identifier of the library's that closes itself.
class Hdf5Id {
public:
    Hdf5Id() = default;
    explicit Hdf5Id(std::int64_t id) : value(id) {}
    Hdf5Id(Hdf5Id&& other) noexcept : value(other.value) { other.value = -1; }
    Hdf5Id& operator=(Hdf5Id&& other) noexcept;
    Hdf5Id(const Hdf5Id&) = delete;
    Hdf5Id& operator=(const Hdf5Id&) = delete;
    ~Hdf5Id() { close(); }

    std::int64_t get() const { return value; }
    // Gives the identifier up without closing it.
    std::int64_t release();
    // Closes it now; false when the library failed to.
    bool close();

private:
    std::int64_t value = -1;
};

// A dataset of fixed size whose rows hold `columns` elements each (one
// element where `columns` is 0: a one-dimensional dataset).
class Hdf5Dataset {
public:
    Hdf5Dataset(Hdf5Id id, Hdf5Type type, unsigned columns) : id(std::move(id)), type(type), columns(columns) {}
    // Writes rows [first, first + count) from `data`, row after row, in the
    // dataset's type.
    void write(std::uint64_t first, std::uint64_t count, const void* data);

private:
    Hdf5Id id;
    Hdf5Type type;
    unsigned columns;
};

class Hdf5File {
public:
    // Creates the file: anew, failing where a file of that name exists
    // (`exclusive`), or over what is there (a device written in place).
    Hdf5File(const std::string& path, bool exclusive);

    // Every path is from the root, "/A/B".
    void createGroup(const std::string& path);
    void writeAttribute(const std::string& object, const std::string& name, const std::vector<std::int64_t>& values);
    // A fixed-length ASCII string of the text's length.
    void writeTextAttribute(const std::string& object, const std::string& name, const std::string& text);
    Hdf5Dataset createDataset(const std::string& path, Hdf5Type type, std::uint64_t rows, unsigned columns = 0);

    // Writes what the library still holds and closes the file. Without it
    // the file is closed quietly, its failures ignored: a run that failed
    // removes it anyway.
    void close();

private:
    Hdf5Id file;
};

#endif
