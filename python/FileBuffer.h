#ifndef PYTHON_FILEBUFFER_H
#define PYTHON_FILEBUFFER_H

#include <streambuf>
#include <string>
#include <vector>

// A read-only stream buffer on a file descriptor that keeps the errno of a
// failed read instead of throwing or failing the stream: the property lexer
// ends the process when its stream goes bad, which inside Python would end
// the interpreter. A failed read looks like the end of the file to the
// reader; error() tells the two apart afterwards.
class FileBuffer : public std::streambuf {
public:
    FileBuffer() = default;
    ~FileBuffer() override;
    FileBuffer(const FileBuffer&) = delete;
    FileBuffer& operator=(const FileBuffer&) = delete;

    // Opens `path` for reading: 0, or the errno of the failure (EISDIR for a
    // directory, whose reads would fail only later).
    int open(const std::string& path);
    // Whether the file can be read again from its start (not a pipe).
    bool seekable() const;
    // The errno of the first read that failed; 0 while none has.
    int error() const { return failure; }

protected:
    int_type underflow() override;
    std::streamsize xsgetn(char* out, std::streamsize count) override;
    pos_type seekoff(off_type offset, std::ios_base::seekdir direction, std::ios_base::openmode mode) override;
    pos_type seekpos(pos_type position, std::ios_base::openmode mode) override;

private:
    // One read(2) of at most `count` bytes; 0 at the end of the file and
    // after a failure.
    std::size_t readSome(char* out, std::size_t count);

    int descriptor = -1;
    int failure = 0;
    std::vector<char> buffer;
};

#endif
