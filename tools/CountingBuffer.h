#ifndef TOOLS_COUNTINGBUFFER_H
#define TOOLS_COUNTINGBUFFER_H

#include <cstdint>
#include <streambuf>

// Hands out the bytes of another stream buffer one at a time and counts
// them, so that the offset of every block is known on a pipe as well as on a
// file. One byte at a time also means nothing is taken from the source
// beyond what the reader has asked for.
class CountingBuffer : public std::streambuf {
public:
    explicit CountingBuffer(std::streambuf* source) : source(source) {}

    // Bytes the reader has taken so far.
    std::uint64_t consumed() const { return fetched - static_cast<std::uint64_t>(egptr() - gptr()); }

protected:
    int_type underflow() override {
        const int_type next = source->sbumpc();
        if (traits_type::eq_int_type(next, traits_type::eof())) return next;
        current = traits_type::to_char_type(next);
        ++fetched;
        setg(&current, &current, &current + 1);
        return next;
    }

private:
    std::streambuf* source;
    char current = 0;
    std::uint64_t fetched = 0;
};

#endif
