#include "ToolInput.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace {

constexpr std::size_t bufferSize = std::size_t(1) << 16;

}  // namespace

ToolInput::~ToolInput() {
    if (owned) ::close(descriptor);
}

int ToolInput::open(const std::string& path) {
    shownName = path == "-" ? "standard input" : path;
    if (path == "-") {
        descriptor = STDIN_FILENO;
    } else {
        descriptor = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
        if (descriptor < 0) return errno;
        owned = true;
    }
    struct stat status {};
    if (::fstat(descriptor, &status) != 0) return errno;
    if (S_ISDIR(status.st_mode)) return EISDIR;
    buffer.resize(bufferSize);
    setg(buffer.data(), buffer.data(), buffer.data());
    return 0;
}

std::size_t ToolInput::readSome(char* out, std::size_t count) {
    if (failure != 0 || buffer.empty()) return 0;
    for (;;) {
        const ssize_t got = ::read(descriptor, out, count);
        if (got >= 0) return static_cast<std::size_t>(got);
        if (errno != EINTR) {
            failure = errno;
            return 0;
        }
    }
}

ToolInput::int_type ToolInput::underflow() {
    if (gptr() < egptr()) return traits_type::to_int_type(*gptr());
    const std::size_t got = readSome(buffer.data(), buffer.size());
    setg(buffer.data(), buffer.data(), buffer.data() + got);
    return got == 0 ? traits_type::eof() : traits_type::to_int_type(*gptr());
}

std::streamsize ToolInput::xsgetn(char* out, std::streamsize count) {
    const std::size_t wanted = static_cast<std::size_t>(std::max<std::streamsize>(count, 0));
    std::size_t done = std::min(wanted, static_cast<std::size_t>(egptr() - gptr()));
    std::memcpy(out, gptr(), done);
    gbump(static_cast<int>(done));
    // Large reads go straight to their destination.
    while (done < wanted) {
        std::size_t got = 0;
        if (wanted - done >= buffer.size()) {
            got = readSome(out + done, wanted - done);
        } else if (!traits_type::eq_int_type(underflow(), traits_type::eof())) {
            got = std::min(wanted - done, static_cast<std::size_t>(egptr() - gptr()));
            std::memcpy(out + done, gptr(), got);
            gbump(static_cast<int>(got));
        }
        if (got == 0) break;
        done += got;
    }
    return static_cast<std::streamsize>(done);
}

ToolInput::pos_type ToolInput::seekoff(off_type offset, std::ios_base::seekdir direction, std::ios_base::openmode) {
    const pos_type failed = pos_type(off_type(-1));
    if (buffer.empty()) return failed;
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

ToolInput::pos_type ToolInput::seekpos(pos_type position, std::ios_base::openmode mode) {
    return seekoff(off_type(position), std::ios_base::beg, mode);
}

std::string inputFailure(const char* what, const std::string& name, int error) {
    return std::string("could not ") + what + " " + name + ": " + std::strerror(error);
}
