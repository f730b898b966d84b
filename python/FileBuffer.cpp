#include "FileBuffer.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

FileBuffer::FileBuffer() : InputBuffer(std::size_t(1) << 16) {}

FileBuffer::~FileBuffer() {
    if (descriptor >= 0) ::close(descriptor);
}

int FileBuffer::open(const std::string& path) {
    descriptor = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (descriptor < 0) return errno;
    struct stat status {};
    if (::fstat(descriptor, &status) != 0) return errno;
    if (S_ISDIR(status.st_mode)) return EISDIR;
    return 0;
}

std::size_t FileBuffer::readSource(char* out, std::size_t count) {
    if (descriptor < 0 || !checkSignals()) return 0;
    for (;;) {
        const ssize_t got = ::read(descriptor, out, count);
        if (got >= 0) return static_cast<std::size_t>(got);
        if (errno != EINTR) {
            setError(errno);
            return 0;
        }
        // A signal ended a read that waited, on a pipe say: Ctrl-C's, perhaps.
        if (!checkSignals(true)) return 0;
    }
}

std::int64_t FileBuffer::seekTo(std::int64_t offset, int whence) {
    return descriptor < 0 ? -1 : ::lseek(descriptor, off_t(offset), whence);
}
