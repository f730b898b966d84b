#ifndef CLI_READBUFFER_H
#define CLI_READBUFFER_H

#include <cstddef>
#include <cstdint>
#include <streambuf>
#include <vector>

// A read-only stream buffer over a source that a subclass reads and seeks:
// a file descriptor, or a Python file object. Large reads go straight to the
// reader's memory, and asking where the reader stands, or going back within
// what is buffered, does not touch the source.
class ReadBuffer : public std::streambuf {
public:
    explicit ReadBuffer(std::size_t bufferSize);
    ReadBuffer(const ReadBuffer&) = delete;
    ReadBuffer& operator=(const ReadBuffer&) = delete;

protected:
    // One read of at most `count` bytes; 0 at the end of the input, and
    // wherever reading can go no further.
    virtual std::size_t readSome(char* out, std::size_t count) = 0;
    // lseek(2)'s contract: the offset reached, or -1.
    virtual std::int64_t seekTo(std::int64_t offset, int whence) = 0;

    int_type underflow() override;
    std::streamsize xsgetn(char* out, std::streamsize count) override;
    pos_type seekoff(off_type offset, std::ios_base::seekdir direction, std::ios_base::openmode mode) override;
    pos_type seekpos(pos_type position, std::ios_base::openmode mode) override;

private:
    std::vector<char> buffer;
    // The source's offset at the end of the buffer; -1 until known.
    std::int64_t bufferEnd = -1;
};

#endif
