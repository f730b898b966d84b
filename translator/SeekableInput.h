#ifndef TRANSLATOR_SEEKABLEINPUT_H
#define TRANSLATOR_SEEKABLEINPUT_H

#include <fstream>
#include <istream>
#include <string>

// An input that can be read more than once. A seekable stream is used as it
// is; anything else (a pipe) is first copied, as it arrives, into a spill file
// under TMPDIR (or /tmp), which is removed when this object goes, and on
// SIGINT, SIGTERM and SIGHUP.
class SeekableInput {
public:
    // Throws TrackError when the spill file cannot be made or written.
    explicit SeekableInput(std::istream& input);
    ~SeekableInput();
    SeekableInput(const SeekableInput&) = delete;
    SeekableInput& operator=(const SeekableInput&) = delete;

    std::istream& stream() { return spilled.empty() ? original : copy; }
    // Starts the input again from where it began.
    void rewind();

private:
    std::istream& original;
    std::streamoff start = 0;
    std::string spilled;  // the spill file, when there is one
    std::ifstream copy;
};

// The folder spill files go to: $TMPDIR, or /tmp.
std::string spillDirectory();

#endif
