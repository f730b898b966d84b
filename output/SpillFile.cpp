#include "SpillFile.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "TemporaryFiles.h"
#include "TrackError.h"

std::string spillDirectory() {
    const char* directory = std::getenv("TMPDIR");
    return directory != nullptr && *directory != '\0' ? directory : "/tmp";
}

SpillFile::SpillFile(const std::string& kind) {
    std::string path = spillDirectory() + "/trk_to_zrp-" + kind + "-XXXXXX";
    descriptor = makeTemporaryFile(path);
    if (descriptor < 0) failWith("make", errno);
    name = path;
}

SpillFile::~SpillFile() {
    if (descriptor < 0) return;
    ::close(descriptor);
    ::unlink(name.c_str());
    forgetOnSignal(name);
}

void SpillFile::failWith(const char* what, int error) const {
    fail("could not " + std::string(what) + " a spill file in " + spillDirectory() + ": " + std::strerror(error));
}

std::uint64_t SpillFile::append(const char* data, std::size_t count) {
    const std::uint64_t offset = length;
    while (count > 0) {
        const ssize_t written = ::pwrite(descriptor, data, count, static_cast<off_t>(length));
        if (written < 0 && errno == EINTR) continue;
        // A write that takes nothing would loop forever: the disk is full.
        if (written <= 0) failWith("write", written < 0 ? errno : ENOSPC);
        data += written;
        count -= static_cast<std::size_t>(written);
        length += static_cast<std::uint64_t>(written);
    }
    return offset;
}

void SpillFile::read(std::uint64_t offset, char* data, std::size_t count) const {
    while (count > 0) {
        const ssize_t got = ::pread(descriptor, data, count, static_cast<off_t>(offset));
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) failWith("read", got < 0 ? errno : EIO);
        data += got;
        count -= static_cast<std::size_t>(got);
        offset += static_cast<std::uint64_t>(got);
    }
}
