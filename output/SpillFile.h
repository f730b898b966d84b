#ifndef OUTPUT_SPILLFILE_H
#define OUTPUT_SPILLFILE_H

#include <cstddef>
#include <cstdint>
#include <string>

// A temporary file under $TMPDIR (or /tmp) for what does not fit in memory.
// It is removed when this object goes, and when SIGINT, SIGTERM or SIGHUP end
// the process. A spill file that cannot be made, written or read ends the
// translation as a TrackError that names the folder and the reason (a full
// disk, for instance).
class SpillFile {
public:
    // `kind` names what it holds in the file's name ("input", "lines").
    explicit SpillFile(const std::string& kind);
    ~SpillFile();
    SpillFile(const SpillFile&) = delete;
    SpillFile& operator=(const SpillFile&) = delete;

    const std::string& path() const { return name; }
    std::uint64_t size() const { return length; }

    // Appends the bytes and returns the offset they begin at.
    std::uint64_t append(const char* data, std::size_t count);
    // Reads `count` bytes from `offset`.
    void read(std::uint64_t offset, char* data, std::size_t count) const;

private:
    [[noreturn]] void failWith(const char* what, int error) const;

    std::string name;
    int descriptor = -1;
    std::uint64_t length = 0;
};

// The folder spill files go to: $TMPDIR, or /tmp.
std::string spillDirectory();

#endif
