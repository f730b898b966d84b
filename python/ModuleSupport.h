#ifndef PYTHON_MODULESUPPORT_H
#define PYTHON_MODULESUPPORT_H

#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>

#include <exception>
#include <memory>
#include <mutex>
#include <string>

#include "InputBuffer.h"
#include "TrackArrays.h"

// What the functions of the trkfile module share: names and messages as
// Python strings, arrays as numpy arrays, the input they were given, and
// reading it with the interpreter lock released.

// The module's exceptions, made when it is imported.
extern PyObject* trackError;
extern PyObject* trackWarning;

// The property parser keeps its state in globals: in the whole process one
// chunk source at a time may read.
extern std::mutex parserMutex;

// A name from the file (a tag group's, a variable's, a chunk's) is bytes:
// decoded so that os.fsencode gives the same bytes back.
pybind11::str nameOf(const std::string& name);
// Text for people, which bytes from the file may be part of: those that are
// not UTF-8 show as \xff and the like, so it always prints.
pybind11::str messageOf(const std::string& text);

pybind11::dtype dtypeOf(ElementType type);
// A numpy array over the array's memory, which the array object then keeps:
// nothing is copied. Raw columns become bytes.
pybind11::object toPython(Array& array);
// A numpy array of its own, with a copy of the array's values.
pybind11::array copyToPython(const Array& array);

// Raises OSError(error, text, filename), which Python makes
// FileNotFoundError, IsADirectoryError, PermissionError... after the errno.
[[noreturn]] void raiseOSError(int error, pybind11::handle filename, const std::string& text = "");
// Warns with TrackWarning, unless `text` is empty.
void warn(const std::string& text);
// "1 point", "2 points".
std::string counted(std::size_t count, const std::string& what);

// What a function was given to read: a path or a file object.
struct Input {
    std::unique_ptr<InputBuffer> buffer;
    std::string name;           // as messages name the input
    pybind11::object filename;  // the path as given, for OSError; None for a file object
};

// Opens a path (str, bytes, os.PathLike) or takes a binary file object;
// a TypeError names trkfile.`function` for anything else.
Input inputOf(const pybind11::object& source, const char* function);
// Refuses an input that cannot be read twice, for trkfile.`function`.
void requireSeekable(const Input& input, const char* function);

// Runs `read` with the interpreter lock released and the parser to itself.
// Then raises, first, what stopped the reading (Ctrl-C's KeyboardInterrupt,
// a file object's exception): the end of the input the reader met then was
// not the input's; then a read that failed; then what `read` threw.
template <typename Read>
void readReleased(Input& input, Read&& read) {
    std::exception_ptr fault;
    {
        pybind11::gil_scoped_release release;
        std::lock_guard<std::mutex> lock(parserMutex);
        try {
            read();
        } catch (...) {
            fault = std::current_exception();
        }
    }
    input.buffer->raiseStopped();
    if (const int error = input.buffer->takeError()) raiseOSError(error, input.filename);
    if (fault) std::rethrow_exception(fault);
}

#endif
