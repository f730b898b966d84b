#include "InputFile.h"

#include <sys/stat.h>
#include <unistd.h>

#include <iostream>

bool InputFile::open(const std::string& name) {
    struct stat status;
    if (name == "-") {
        in = &std::cin;
        if (fstat(STDIN_FILENO, &status) != 0) return false;
    } else {
        file.open(name, std::ios::in | std::ios::binary);
        if (!file.is_open() || stat(name.c_str(), &status) != 0) return false;
    }
    device = status.st_dev;
    inode = status.st_ino;
    return !S_ISDIR(status.st_mode);
}

bool InputFile::isSameFileAs(const std::string& path) const {
    struct stat status;
    return stat(path.c_str(), &status) == 0 && status.st_dev == device && status.st_ino == inode;
}
