#ifndef CLI_INPUTFILE_H
#define CLI_INPUTFILE_H

#include <sys/types.h>

#include <fstream>
#include <istream>
#include <string>

// The file a program reads: a named file, or standard input for "-". Reading
// standard input at speed needs std::ios::sync_with_stdio(false) at the
// program's start.
class InputFile {
public:
    // False when the file cannot be opened or is a directory (which opens,
    // then fails at the first read).
    bool open(const std::string& name);
    std::istream& stream() { return *in; }
    bool isStandardInput() const { return in != &file; }

    // Whether `path` is this very file, by whatever name or link: writing it
    // would destroy what is being read. False when `path` does not exist.
    bool isSameFileAs(const std::string& path) const;

private:
    std::ifstream file;
    std::istream* in = &file;
    dev_t device = 0;
    ino_t inode = 0;
};

#endif
