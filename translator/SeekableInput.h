#ifndef TRANSLATOR_SEEKABLEINPUT_H
#define TRANSLATOR_SEEKABLEINPUT_H

#include <cstdint>
#include <fstream>
#include <istream>
#include <memory>
#include <streambuf>
#include <string>
#include <vector>

#include "CountingBuffer.h"
#include "SpillFile.h"

// Passes the bytes of another stream buffer through and keeps a copy of all
// it has passed in a spill file, so that an input that cannot be read twice
// (a pipe) can be read again once the first pass has found it must be. It
// cannot seek, as its source cannot. A copy that cannot be made or written
// does not stop the reading; only keepRest then fails, with the reason.
class KeptInput : public CountingBuffer {
public:
    explicit KeptInput(std::streambuf* source);
    // Reads the rest of the source into the copy and returns a stream on the
    // whole copy, from its first byte.
    std::istream& keepRest();

protected:
    void passed(const char* data, std::size_t count) override;
    pos_type seekoff(off_type, std::ios_base::seekdir, std::ios_base::openmode) override { return noPosition(); }
    pos_type seekpos(pos_type, std::ios_base::openmode) override { return noPosition(); }

private:
    static pos_type noPosition() { return pos_type(off_type(-1)); }
    void flush();
    void write(const char* data, std::size_t count);

    std::unique_ptr<SpillFile> copy;
    std::string copyFailure;    // why the copy is incomplete
    std::vector<char> pending;  // bytes passed, not yet in the copy
    std::ifstream reread;
};

// An input that can be read more than once: a seekable stream as it is,
// anything else (a pipe) copied, as a whole, into a spill file first.
class SeekableInput {
public:
    explicit SeekableInput(std::istream& input);
    std::istream& stream() { return kept ? *copy : original; }
    // Starts the input again from where it began.
    void rewind();

private:
    std::istream& original;
    std::streamoff start = 0;
    std::unique_ptr<KeptInput> kept;
    std::istream* copy = nullptr;
};

#endif
