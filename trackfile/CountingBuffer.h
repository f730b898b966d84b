#ifndef TRACKFILE_COUNTINGBUFFER_H
#define TRACKFILE_COUNTINGBUFFER_H

#include <cstddef>
#include <cstdint>
#include <streambuf>

// Hands out the bytes of another stream buffer and counts them, so that the
// offset of every block is known on a pipe as well as on a file. Single
// characters are taken one at a time, so nothing is taken from the source
// beyond what the reader has asked for; bulk reads go to the source in one
// piece. Seeking is passed on to the source. A buffer derived from it sees
// every byte taken, through passed().
class CountingBuffer : public std::streambuf {
public:
    // `start` is the source's position now: the offset of the next byte.
    explicit CountingBuffer(std::streambuf* source, std::uint64_t start = 0) : source(source), fetched(start) {}

    // Offset of the next byte the reader gets.
    std::uint64_t consumed() const { return fetched - static_cast<std::uint64_t>(egptr() - gptr()); }

protected:
    int_type underflow() override;
    std::streamsize xsgetn(char* out, std::streamsize count) override;
    pos_type seekoff(off_type offset, std::ios_base::seekdir direction, std::ios_base::openmode mode) override;
    pos_type seekpos(pos_type position, std::ios_base::openmode mode) override;
    // The bytes just taken from the source, in order.
    virtual void passed(const char* data, std::size_t count) {
        (void)data;
        (void)count;
    }

    std::streambuf* const source;

private:
    char current = 0;
    std::uint64_t fetched = 0;
};

#endif
