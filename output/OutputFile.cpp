#include "OutputFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <cstdio>
#include <cstdlib>

#include "TemporaryFiles.h"

namespace {

// Permissions a newly created file gets, as the stream's own open would give.
unsigned newFileMode() {
    const mode_t mask = umask(0);
    umask(mask);
    return 0666u & ~static_cast<unsigned>(mask);
}

std::string directoryOf(const std::string& path) {
    const std::string::size_type slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return path.substr(0, slash);
}

std::string baseNameOf(const std::string& path) {
    const std::string::size_type slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// A link's target is what the user means: replacing the link itself would
// leave the file it points at untouched.
std::string resolvedPath(const std::string& path) {
    char resolved[PATH_MAX];
    return realpath(path.c_str(), resolved) != nullptr ? std::string(resolved) : path;
}

}  // namespace

OutputFile::~OutputFile() {
    discard();
}

bool OutputFile::open(const std::string& path) {
    if (path.empty()) return false;
    given = path;
    struct stat status;
    const bool exists = stat(path.c_str(), &status) == 0;
    struct stat linkStatus;
    const bool danglingLink = !exists && lstat(path.c_str(), &linkStatus) == 0;
    if ((exists && !S_ISREG(status.st_mode)) || danglingLink) {
        out.open(path, std::ios::out | std::ios::trunc);
        return out.is_open();
    }

    if (exists) {
        // The file must be writable as it is, even though it is replaced
        // rather than written, so that a protected file stays refused.
        const int probe = ::open(path.c_str(), O_WRONLY);
        if (probe < 0) return false;
        ::close(probe);
        target = resolvedPath(path);
        mode = status.st_mode & 07777;
    } else {
        target = path;
        mode = newFileMode();
    }

    // Registered for removal should a signal end the run before it is in place.
    std::string name = directoryOf(target) + "/." + baseNameOf(target) + ".XXXXXX";
    const int descriptor = makeTemporaryFile(name);
    if (descriptor < 0) {
        target.clear();
        // A writable file in a directory that takes no new files can still
        // be written in place.
        if (!exists) return false;
        out.open(path, std::ios::out | std::ios::trunc);
        return out.is_open();
    }
    ::close(descriptor);
    temporary = name;
    // The file is new and empty: opened without truncating it, since a
    // truncation makes ext4 write the whole file back when it is closed.
    out.open(temporary, std::ios::in | std::ios::out);
    if (!out.is_open()) {
        discard();
        return false;
    }
    return true;
}

OutputFile::Named OutputFile::handOver() {
    handedOver = true;
    out.close();
    if (temporary.empty()) return {given, false};
    std::remove(temporary.c_str());
    return {temporary, true};
}

bool OutputFile::commit() {
    // The reason of the first step that fails: what a failed stream leaves
    // in errno is read at once.
    const auto failed = [&] {
        if (error == 0) error = errno;
        return false;
    };
    bool written = true;
    if (!handedOver) {
        if (!out.good()) failed();
        out.flush();
        written = out.good() || failed();
        out.close();
        written = (!out.fail() || failed()) && written;
    }
    if (temporary.empty()) return written;
    if (written && (chmod(temporary.c_str(), static_cast<mode_t>(mode)) == 0 || failed()) &&
        (std::rename(temporary.c_str(), target.c_str()) == 0 || failed())) {
        forgetOnSignal(temporary);
        temporary.clear();
        return true;
    }
    discard();
    return false;
}

void OutputFile::discard() {
    if (temporary.empty()) return;
    if (out.is_open()) out.close();
    std::remove(temporary.c_str());
    forgetOnSignal(temporary);
    temporary.clear();
}
