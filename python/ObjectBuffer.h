#ifndef PYTHON_OBJECTBUFFER_H
#define PYTHON_OBJECTBUFFER_H

#include "InputBuffer.h"

// An input buffer on a binary Python file object (an open file,
// gzip.open(...), io.BytesIO): it reads through the object's readinto,
// a megabyte at a time with the interpreter lock taken for each, and seeks
// through its seek where its seekable() says it can. What the object raises
// stops the reading and is raised again afterwards (raiseStopped).
// Made, used and destroyed only with the lock held, except for its reads.
class ObjectBuffer : public InputBuffer {
public:
    // `file` must have readinto; asks seekable() once.
    explicit ObjectBuffer(pybind11::object file);

    bool seekable() override { return canSeek; }

protected:
    std::size_t readSource(char* out, std::size_t count) override;
    std::int64_t seekTo(std::int64_t offset, int whence) override;

private:
    pybind11::object readinto;
    pybind11::object seek;
    bool canSeek = false;
};

#endif
