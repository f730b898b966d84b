#include "ToolInput.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace {

constexpr std::size_t bufferSize = std::size_t(1) << 16;

}  // namespace

ToolInput::ToolInput() : ReadBuffer(bufferSize) {}

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
    return 0;
}

std::size_t ToolInput::readSome(char* out, std::size_t count) {
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

std::int64_t ToolInput::seekTo(std::int64_t offset, int whence) {
    return descriptor < 0 ? -1 : ::lseek(descriptor, off_t(offset), whence);
}

std::string inputFailure(const char* what, const std::string& name, int error) {
    return std::string("could not ") + what + " " + name + ": " + std::strerror(error);
}
