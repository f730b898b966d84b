#include "ModuleSupport.h"

#include <cerrno>
#include <cstring>
#include <vector>

#include "FileBuffer.h"
#include "ObjectBuffer.h"

namespace py = pybind11;

PyObject* trackError = nullptr;
PyObject* trackWarning = nullptr;
std::mutex parserMutex;

namespace {

py::str decoded(const std::string& text, const char* errors) {
    PyObject* result = PyUnicode_DecodeUTF8(text.data(), Py_ssize_t(text.size()), errors);
    if (result == nullptr) throw py::error_already_set();
    return py::reinterpret_steal<py::str>(result);
}

std::string fsencoded(py::handle path) {
    PyObject* bytes = nullptr;
    if (PyUnicode_FSConverter(path.ptr(), &bytes) == 0) throw py::error_already_set();
    return py::reinterpret_steal<py::bytes>(bytes);
}

}  // namespace

py::str nameOf(const std::string& name) {
    return decoded(name, "surrogateescape");
}

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

py::array copyToPython(const Array& array) {
    std::vector<py::ssize_t> shape{py::ssize_t(array.rows)};
    if (array.width != 1) shape.push_back(py::ssize_t(array.width));
    py::array copy(dtypeOf(array.type), shape);
    const std::size_t rowBytes = array.width * elementSize(array.type);
    char* out = static_cast<char*>(copy.mutable_data());
    if (array.rowStride == rowBytes) {
        std::memcpy(out, array.data, array.rows * rowBytes);
    } else {
        for (std::size_t row = 0; row < array.rows; ++row)
            std::memcpy(out + row * rowBytes, array.data + row * array.rowStride, rowBytes);
    }
    return copy;
}

void raiseOSError(int error, py::handle filename, const std::string& text) {
    const py::object exception = py::reinterpret_borrow<py::object>(PyExc_OSError)(
        error, messageOf(text.empty() ? std::strerror(error) : text), filename);
    PyErr_SetObject(reinterpret_cast<PyObject*>(Py_TYPE(exception.ptr())), exception.ptr());
    throw py::error_already_set();
}

void warn(const std::string& text) {
    if (!text.empty() && PyErr_WarnFormat(trackWarning, 1, "%U", messageOf(text).ptr()) != 0)
        throw py::error_already_set();
}

std::string counted(std::size_t count, const std::string& what) {
    return std::to_string(count) + " " + what + (count == 1 ? "" : "s");
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

void requireSeekable(const Input& input, const char* function) {
    if (input.buffer->seekable()) return;
    const std::string reads = std::string("trkfile.") + function + " reads ";
    if (!input.filename.is_none())
        raiseOSError(ESPIPE, input.filename, reads + "a file twice and cannot read a pipe (chunks() can)");
    PyErr_SetString(py::module_::import("io").attr("UnsupportedOperation").ptr(),
                    (reads + "its input twice and needs a seekable file object (chunks() reads any)").c_str());
    throw py::error_already_set();
}
