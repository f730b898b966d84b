#include "ObjectBuffer.h"

namespace py = pybind11;

ObjectBuffer::ObjectBuffer(py::object file) : InputBuffer(std::size_t(1) << 20), readinto(file.attr("readinto")) {
    canSeek = py::hasattr(file, "seekable") && file.attr("seekable")().cast<bool>();
    if (canSeek) seek = file.attr("seek");
}

std::size_t ObjectBuffer::readSource(char* out, std::size_t count) {
    std::size_t got = 0;
    withPython([&] {
        const py::object view = py::reinterpret_steal<py::object>(
            PyMemoryView_FromMemory(out, static_cast<Py_ssize_t>(count), PyBUF_WRITE));
        if (!view) throw py::error_already_set();
        // Our memory must not stay reachable from Python, whatever readinto does.
        py::object result;
        try {
            result = readinto(view);
        } catch (py::error_already_set&) {
            view.attr("release")();
            throw;
        }
        view.attr("release")();
        if (result.is_none()) {
            PyErr_SetString(PyExc_BlockingIOError, "the file object has no data ready (it is non-blocking)");
            throw py::error_already_set();
        }
        const Py_ssize_t size = PyNumber_AsSsize_t(result.ptr(), PyExc_OverflowError);
        if (size == -1 && PyErr_Occurred()) throw py::error_already_set();
        if (size < 0 || std::size_t(size) > count) {
            PyErr_Format(PyExc_ValueError, "readinto returned %zd for a buffer of %zu bytes", size, count);
            throw py::error_already_set();
        }
        got = std::size_t(size);
    });
    return got;
}

std::int64_t ObjectBuffer::seekTo(std::int64_t offset, int whence) {
    // A file that cannot seek says so by failing, as lseek on a pipe does.
    std::int64_t reached = -1;
    if (canSeek) withPython([&] { reached = seek(offset, whence).cast<std::int64_t>(); });
    return reached;
}
