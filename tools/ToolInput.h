#ifndef TOOLS_TOOLINPUT_H
#define TOOLS_TOOLINPUT_H

#include <string>

#include "ReadBuffer.h"

// The file trk_dump or props reads: a named file, or standard input for
// "-", read with read(2) so that the system's reason is at hand when it
// cannot be opened or read. A failed read looks like the end of the input to
// the reader, since the property lexer ends the process on a stream gone
// bad; error() tells the two apart afterwards.
class ToolInput : public ReadBuffer {
public:
    ToolInput();
    ~ToolInput() override;
    ToolInput(const ToolInput&) = delete;
    ToolInput& operator=(const ToolInput&) = delete;

    // 0, or the errno of the failure (EISDIR for a directory, whose reads
    // would fail only later).
    int open(const std::string& path);
    // The errno of the first read that failed; 0 while none has.
    int error() const { return failure; }
    // How messages name the input: its path, or "standard input".
    const std::string& name() const { return shownName; }

private:
    // One read(2) of at most `count` bytes; 0 at the end of the input, and
    // before the file is open or after a failure.
    std::size_t readSome(char* out, std::size_t count) override;
    std::int64_t seekTo(std::int64_t offset, int whence) override;

    int descriptor = -1;
    bool owned = false;  // standard input stays open
    int failure = 0;
    std::string shownName;
};

// "could not open NAME: REASON" or "could not read NAME: REASON".
std::string inputFailure(const char* what, const std::string& name, int error);

#endif
