#ifndef PYTHON_FILEBUFFER_H
#define PYTHON_FILEBUFFER_H

#include <string>

#include "InputBuffer.h"

// An input buffer on a file descriptor, opened by path.
class FileBuffer : public InputBuffer {
public:
    FileBuffer();
    ~FileBuffer() override;

    // Opens `path` for reading: 0, or the errno of the failure (EISDIR for a
    // directory, whose reads would fail only later).
    int open(const std::string& path);

protected:
    std::size_t readSource(char* out, std::size_t count) override;
    std::int64_t seekTo(std::int64_t offset, int whence) override;

private:
    int descriptor = -1;
};

#endif
