#ifndef TRANSLATOR_TWOPASSINPUT_H
#define TRANSLATOR_TWOPASSINPUT_H

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
// does not stop the reading (an exception would reach the property
// reader through its stream); only copyAsRead then fails, with the reason.
class KeptInput : public CountingBuffer {
public:
    explicit KeptInput(std::streambuf* source);
    // Returns a stream on the copy of all that has passed, from its first
    // byte.
    std::istream& copyAsRead();

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

// An input read in two passes. A seekable stream is read as it is, and
// rewound for the second pass; anything else (a pipe) is kept in a spill
// file as the first pass reads it, and the second pass reads that copy,
// which holds all the first pass took.
class TwoPassInput {
public:
    explicit TwoPassInput(std::istream& input);
    std::istream& first() { return kept ? keptStream : original; }
    // The input again from where it began.
    std::istream& second();

private:
    std::istream& original;
    std::streamoff start = 0;
    std::unique_ptr<KeptInput> kept;
    std::istream keptStream;
};

#endif
