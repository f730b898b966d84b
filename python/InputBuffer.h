#ifndef PYTHON_INPUTBUFFER_H
#define PYTHON_INPUTBUFFER_H

#include <pybind11/pybind11.h>

#include <chrono>
#include <cstdint>
#include <memory>

#include "ReadBuffer.h"

// A read-only stream buffer for reading with the interpreter lock released.
// It never throws and never fails its stream: the property lexer ends the
// process when its stream goes bad, which inside Python would end the
// interpreter. A read that fails, and a read stopped by a Python exception
// (KeyboardInterrupt from Ctrl-C, or what a file object raised), look like
// the end of the input to the reader, now and from then on; takeError() and
// raiseStopped() tell them from a true end afterwards.
//
// While reading it takes the interpreter lock every few tens of
// milliseconds to run the signal handlers, so that Ctrl-C stops a long read
// at once instead of when it returns.
class InputBuffer : public ReadBuffer {
public:
    explicit InputBuffer(std::size_t bufferSize) : ReadBuffer(bufferSize) {}

    // Whether the input can be read again from its start (not a pipe).
    virtual bool seekable();
    // The errno of the first read that failed, once; 0 while none has, and
    // after it was taken.
    int takeError();
    // Whether reading has ended early, by a failed read or an exception.
    bool ended() const { return failure != 0 || halted; }
    // With the interpreter lock held: raises the Python exception that
    // stopped the reading (throws pybind11::error_already_set), if one did.
    void raiseStopped();

protected:
    // One read of the source of at most `count` bytes; 0 at the end of the
    // input.
    virtual std::size_t readSource(char* out, std::size_t count) = 0;

    // Runs `call` with the interpreter lock held, after the signal
    // handlers. False, without running it, once reading has stopped; false
    // when it or a handler raised, whose exception then stops the reading.
    template <typename Call>
    bool withPython(Call&& call);
    // withPython with nothing to call, at most every few tens of
    // milliseconds unless `now`: whether reading may go on.
    bool checkSignals(bool now = false);
    bool stopped() const { return halted; }
    void setError(int error) { failure = error; }

private:
    // readSource, a piece at most, or 0 once reading has stopped or failed.
    std::size_t readSome(char* out, std::size_t count) final;

    int failure = 0;
    bool failureTaken = false;
    bool halted = false;
    std::unique_ptr<pybind11::error_already_set> exception;  // until raised
    std::chrono::steady_clock::time_point lastCheck = std::chrono::steady_clock::now();
};

template <typename Call>
bool InputBuffer::withPython(Call&& call) {
    if (stopped()) return false;
    pybind11::gil_scoped_acquire lock;
    lastCheck = std::chrono::steady_clock::now();
    try {
        if (PyErr_CheckSignals() != 0) throw pybind11::error_already_set();
        call();
        return true;
    } catch (pybind11::error_already_set& raised) {
        halted = true;
        exception = std::make_unique<pybind11::error_already_set>(std::move(raised));
    } catch (const std::exception& fault) {
        // Nothing may leave a stream buffer: its stream would go bad.
        PyErr_SetString(PyExc_RuntimeError, fault.what());
        halted = true;
        exception = std::make_unique<pybind11::error_already_set>();
    }
    return false;
}

#endif
