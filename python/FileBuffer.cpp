#include "FileBuffer.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace {

constexpr std::size_t bufferSize = std::size_t(1) << 16;

}  // namespace

FileBuffer::~FileBuffer() {
    if (descriptor >= 0) ::close(descriptor);
}

int FileBuffer::open(const std::string& path) {
    descriptor = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (descriptor < 0) return errno;
    struct stat status {};
    if (::fstat(descriptor, &status) != 0) return errno;
    if (S_ISDIR(status.st_mode)) return EISDIR;
    buffer.resize(bufferSize);
    setg(buffer.data(), buffer.data(), buffer.data());
    return 0;
}

bool FileBuffer::seekable() const {
    const off_t here = ::lseek(descriptor, 0, SEEK_CUR);
    if (here < 0) return false;
    const off_t end = ::lseek(descriptor, 0, SEEK_END);
    return ::lseek(descriptor, here, SEEK_SET) == here && end >= 0;
}

std::size_t FileBuffer::readSome(char* out, std::size_t count) {
    if (failure != 0 || descriptor < 0) return 0;
    for (;;) {
        const ssize_t got = ::read(descriptor, out, count);
        if (got >= 0) return static_cast<std::size_t>(got);
        if (errno != EINTR) {
            failure = errno;
            return 0;
        }
    }
}

FileBuffer::int_type FileBuffer::underflow() {
    if (gptr() < egptr()) return traits_type::to_int_type(*gptr());
    const std::size_t got = readSome(buffer.data(), buffer.size());
    setg(buffer.data(), buffer.data(), buffer.data() + got);
    return got == 0 ? traits_type::eof() : traits_type::to_int_type(*gptr());
}

std::streamsize FileBuffer::xsgetn(char* out, std::streamsize count) {
    std::size_t wanted = static_cast<std::size_t>(std::max<std::streamsize>(count, 0));
    std::size_t done = std::min(wanted, static_cast<std::size_t>(egptr() - gptr()));
    std::memcpy(out, gptr(), done);
    gbump(static_cast<int>(done));
    // Large reads go straight to their destination.
    while (done < wanted) {
        if (wanted - done >= buffer.size()) {
            const std::size_t got = readSome(out + done, wanted - done);
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

FileBuffer::pos_type FileBuffer::seekoff(off_type offset, std::ios_base::seekdir direction, std::ios_base::openmode) {
    const pos_type failed = pos_type(off_type(-1));
    if (descriptor < 0) return failed;
    const off_type buffered = egptr() - gptr();
    if (direction == std::ios_base::cur) {
        const off_t here = ::lseek(descriptor, 0, SEEK_CUR);
        if (here < 0) return failed;
        // Asking where the reader stands keeps the buffer.
        if (offset == 0) return pos_type(off_type(here) - buffered);
        offset += off_type(here) - buffered;
        direction = std::ios_base::beg;
    }
    const off_t reached = ::lseek(descriptor, offset, direction == std::ios_base::beg ? SEEK_SET : SEEK_END);
    if (reached < 0) return failed;
    setg(buffer.data(), buffer.data(), buffer.data());
    return pos_type(off_type(reached));
}

FileBuffer::pos_type FileBuffer::seekpos(pos_type position, std::ios_base::openmode mode) {
    return seekoff(off_type(position), std::ios_base::beg, mode);
}
