#include "ReadBuffer.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

ReadBuffer::ReadBuffer(std::size_t bufferSize) : buffer(bufferSize) {
    setg(buffer.data(), buffer.data(), buffer.data());
}

ReadBuffer::int_type ReadBuffer::underflow() {
    if (gptr() < egptr()) return traits_type::to_int_type(*gptr());
    const std::size_t got = readSome(buffer.data(), buffer.size());
    setg(buffer.data(), buffer.data(), buffer.data() + got);
    if (bufferEnd >= 0) bufferEnd += std::int64_t(got);
    return got == 0 ? traits_type::eof() : traits_type::to_int_type(*gptr());
}

std::streamsize ReadBuffer::xsgetn(char* out, std::streamsize count) {
    const std::size_t wanted = static_cast<std::size_t>(std::max<std::streamsize>(count, 0));
    std::size_t done = std::min(wanted, static_cast<std::size_t>(egptr() - gptr()));
    std::memcpy(out, gptr(), done);
    gbump(static_cast<int>(done));
    // Large reads go straight to their destination.
    while (done < wanted) {
        if (wanted - done >= buffer.size()) {
            const std::size_t got = readSome(out + done, wanted - done);
            // The buffer, all taken, no longer lies just before the source's position.
            setg(buffer.data(), buffer.data(), buffer.data());
            if (bufferEnd >= 0) bufferEnd += std::int64_t(got);
            if (got == 0) break;
            done += got;
        } else {
            if (traits_type::eq_int_type(underflow(), traits_type::eof())) break;
            const std::size_t piece = std::min(wanted - done, static_cast<std::size_t>(egptr() - gptr()));
            std::memcpy(out + done, gptr(), piece);
            gbump(static_cast<int>(piece));
            done += piece;
        }
    }
    return static_cast<std::streamsize>(done);
}

ReadBuffer::pos_type ReadBuffer::seekoff(off_type offset, std::ios_base::seekdir direction, std::ios_base::openmode) {
    const pos_type failed = pos_type(off_type(-1));
    if (direction == std::ios_base::cur) {
        if (bufferEnd < 0) bufferEnd = seekTo(0, SEEK_CUR);
        if (bufferEnd < 0) return failed;
        offset += off_type(bufferEnd) - (egptr() - gptr());
        direction = std::ios_base::beg;
    }
    // A place in the buffer is reached without the source: the reader asks
    // where it stands and goes back to where it stood often, and a
    // compressed file goes back by reading again from its start.
    if (direction == std::ios_base::beg && bufferEnd >= 0 && offset <= bufferEnd &&
        offset >= bufferEnd - (egptr() - eback())) {
        setg(eback(), egptr() - (bufferEnd - offset), egptr());
        return pos_type(offset);
    }
    const std::int64_t reached = seekTo(offset, direction == std::ios_base::beg ? SEEK_SET : SEEK_END);
    if (reached < 0) return failed;
    bufferEnd = reached;
    setg(buffer.data(), buffer.data(), buffer.data());
    return pos_type(off_type(reached));
}

ReadBuffer::pos_type ReadBuffer::seekpos(pos_type position, std::ios_base::openmode mode) {
    return seekoff(off_type(position), std::ios_base::beg, mode);
}
