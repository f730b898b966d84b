#include "Hdf5File.h"

#include <hdf5.h>

#include <cstdlib>
#include <cstring>
#include <type_traits>

#include "TrackError.h"

static_assert(std::is_same<hid_t, std::int64_t>::value, "Hdf5Id keeps an hid_t");

#if defined(__SANITIZE_ADDRESS__)
// HDF5 1.10.8 loses its buffer of metadata where the file it creates
// cannot take its first bytes (/dev/full, a pipe), just before the run ends
// with the error. The sanitizer's stack of it stops inside the library,
// which keeps no frame pointers: at its allocator.
extern "C" const char* __lsan_default_suppressions() {
    return "leak:H5FL__malloc\n";
}
// Without the table of suppressions used at exit, so that the run's standard
// error stays its own.
extern "C" const char* __lsan_default_options() {
    return "print_suppressions=0";
}
#endif

namespace {

// What the library's error stack says went wrong: the system's reason
// where its file driver met one (its message holds "errno = N"), else the
// most specific error's own words.
std::string failureReason() {
    struct Found {
        int error = 0;
        std::string words;
    } found;
    H5Ewalk2(
        H5E_DEFAULT, H5E_WALK_UPWARD,
        [](unsigned, const H5E_error2_t* entry, void* data) -> herr_t {
            Found& found = *static_cast<Found*>(data);
            if (found.words.empty()) {
                char minor[256] = "";
                if (H5Eget_msg(entry->min_num, nullptr, minor, sizeof minor) > 0) found.words = minor;
            }
            const char* at = entry->desc != nullptr ? std::strstr(entry->desc, "errno = ") : nullptr;
            if (at != nullptr && found.error == 0) found.error = std::atoi(at + 8);
            return 0;
        },
        &found);
    H5Eclear2(H5E_DEFAULT);
    if (found.error != 0) return std::strerror(found.error);
    return found.words.empty() ? "the HDF5 library failed" : found.words;
}

[[noreturn]] void failWriting() {
    fail("could not write output file: " + failureReason());
}

// The library's result, or the end of the run where it failed.
template <typename T>
T checked(T result) {
    if (result < 0) failWriting();
    return result;
}

hid_t fileType(Hdf5Type type) {
    switch (type) {
        case Hdf5Type::UInt8: return H5T_STD_U8LE;
        case Hdf5Type::Int32: return H5T_STD_I32LE;
        case Hdf5Type::UInt32: return H5T_STD_U32LE;
        case Hdf5Type::Int64: return H5T_STD_I64LE;
        case Hdf5Type::Float32: return H5T_IEEE_F32LE;
        case Hdf5Type::Float64: return H5T_IEEE_F64LE;
        case Hdf5Type::String: break;
    }
    return -1;
}

hid_t memoryType(Hdf5Type type) {
    switch (type) {
        case Hdf5Type::UInt8: return H5T_NATIVE_UINT8;
        case Hdf5Type::Int32: return H5T_NATIVE_INT32;
        case Hdf5Type::UInt32: return H5T_NATIVE_UINT32;
        case Hdf5Type::Int64: return H5T_NATIVE_INT64;
        case Hdf5Type::Float32: return H5T_NATIVE_FLOAT;
        case Hdf5Type::Float64: return H5T_NATIVE_DOUBLE;
        case Hdf5Type::String: break;
    }
    return -1;
}

// An ASCII string type of `size` bytes, or of variable length.
Hdf5Id stringType(std::size_t size) {
    Hdf5Id type(checked(H5Tcopy(H5T_C_S1)));
    checked(H5Tset_size(type.get(), size));
    checked(H5Tset_cset(type.get(), H5T_CSET_ASCII));
    if (size != H5T_VARIABLE) checked(H5Tset_strpad(type.get(), H5T_STR_NULLPAD));
    return type;
}

// A variable-length string is the same type in the file and in memory.
Hdf5Id typeOf(Hdf5Type type, bool inFile) {
    if (type == Hdf5Type::String) return stringType(H5T_VARIABLE);
    return Hdf5Id(checked(H5Tcopy(inFile ? fileType(type) : memoryType(type))));
}

Hdf5Id dataspace(std::uint64_t rows, unsigned columns) {
    const hsize_t dimensions[] = {rows, columns};
    return Hdf5Id(checked(H5Screate_simple(columns == 0 ? 1 : 2, dimensions, nullptr)));
}

// Objects without the times they were made, so that a track gives the same
// bytes every time.
Hdf5Id creationProperties(hid_t propertyClass) {
    Hdf5Id properties(checked(H5Pcreate(propertyClass)));
    checked(H5Pset_obj_track_times(properties.get(), false));
    return properties;
}

}  // namespace

Hdf5Id& Hdf5Id::operator=(Hdf5Id&& other) noexcept {
    if (this != &other) {
        close();
        value = other.value;
        other.value = -1;
    }
    return *this;
}

std::int64_t Hdf5Id::release() {
    const std::int64_t id = value;
    value = -1;
    return id;
}

bool Hdf5Id::close() {
    if (value < 0) return true;
    const bool closed = H5Idec_ref(value) >= 0;
    value = -1;
    if (!closed) H5Eclear2(H5E_DEFAULT);
    return closed;
}

void Hdf5Dataset::write(std::uint64_t first, std::uint64_t count, const void* data) {
    if (count == 0) return;
    const Hdf5Id memory = dataspace(count, columns);
    const Hdf5Id file(checked(H5Dget_space(id.get())));
    const hsize_t start[] = {first, 0};
    const hsize_t size[] = {count, columns};
    checked(H5Sselect_hyperslab(file.get(), H5S_SELECT_SET, start, nullptr, size, nullptr));
    const Hdf5Id type = typeOf(this->type, false);
    // Values converted on the way (strings) pass through a buffer of this
    // size, 1 MiB by default, and as much again beside it.
    const Hdf5Id transfer(checked(H5Pcreate(H5P_DATASET_XFER)));
    checked(H5Pset_buffer(transfer.get(), 64 << 10, nullptr, nullptr));
    checked(H5Dwrite(id.get(), type.get(), memory.get(), file.get(), transfer.get(), data));
}

Hdf5File::Hdf5File(const std::string& path, bool exclusive) {
    // The library's own printing of its errors: they become messages of ours.
    H5Eset_auto2(H5E_DEFAULT, nullptr, nullptr);
    const Hdf5Id access(checked(H5Pcreate(H5P_FILE_ACCESS)));
    // Closing the file closes whatever is still open in it, so that close()
    // writes everything and reports any failure.
    checked(H5Pset_fclose_degree(access.get(), H5F_CLOSE_STRONG));
    file =
        Hdf5Id(checked(H5Fcreate(path.c_str(), exclusive ? H5F_ACC_EXCL : H5F_ACC_TRUNC, H5P_DEFAULT, access.get())));
}

void Hdf5File::createGroup(const std::string& path) {
    const Hdf5Id properties = creationProperties(H5P_GROUP_CREATE);
    Hdf5Id(checked(H5Gcreate2(file.get(), path.c_str(), H5P_DEFAULT, properties.get(), H5P_DEFAULT)));
}

void Hdf5File::writeAttribute(const std::string& object, const std::string& name,
                              const std::vector<std::int64_t>& values) {
    const Hdf5Id space = dataspace(values.size(), 0);
    const Hdf5Id attribute(checked(H5Acreate_by_name(file.get(), object.c_str(), name.c_str(), H5T_STD_I64LE,
                                                     space.get(), H5P_DEFAULT, H5P_DEFAULT, H5P_DEFAULT)));
    checked(H5Awrite(attribute.get(), H5T_NATIVE_INT64, values.data()));
}

void Hdf5File::writeTextAttribute(const std::string& object, const std::string& name, const std::string& text) {
    const Hdf5Id type = stringType(text.size());
    const Hdf5Id space(checked(H5Screate(H5S_SCALAR)));
    const Hdf5Id attribute(checked(H5Acreate_by_name(file.get(), object.c_str(), name.c_str(), type.get(), space.get(),
                                                     H5P_DEFAULT, H5P_DEFAULT, H5P_DEFAULT)));
    checked(H5Awrite(attribute.get(), type.get(), text.data()));
}

Hdf5Dataset Hdf5File::createDataset(const std::string& path, Hdf5Type type, std::uint64_t rows, unsigned columns) {
    const Hdf5Id properties = creationProperties(H5P_DATASET_CREATE);
    // Every element is written: filling them first would write the file
    // twice. (The library refuses that to variable-length strings, which
    // are few.)
    if (type != Hdf5Type::String) checked(H5Pset_fill_time(properties.get(), H5D_FILL_TIME_NEVER));
    const Hdf5Id space = dataspace(rows, columns);
    const Hdf5Id stored = typeOf(type, true);
    Hdf5Id dataset(checked(
        H5Dcreate2(file.get(), path.c_str(), stored.get(), space.get(), H5P_DEFAULT, properties.get(), H5P_DEFAULT)));
    return Hdf5Dataset(std::move(dataset), type, columns);
}

void Hdf5File::close() {
    if (file.get() < 0) return;
    checked(H5Fclose(file.release()));
}
