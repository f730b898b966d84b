#ifndef OUTPUT_OUTPUTFILE_H
#define OUTPUT_OUTPUTFILE_H

#include <fstream>
#include <string>

// The named output of a run. A regular file (or a new one) is written as a
// temporary file beside it that replaces it only once everything has been
// written, so a failed run never leaves a partial or damaged file; the
// target's permissions are kept. Anything else (a device, a pipe) is written
// in place.
class OutputFile {
public:
    OutputFile() = default;
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;
    // Removes the temporary file of an output that was not committed.
    ~OutputFile();

    // False when the target cannot be written.
    bool open(const std::string& path);
    std::ostream& stream() { return out; }

    // The file as a library that writes it by its name (HDF5) takes it, in
    // place of the stream, which is closed.
    struct Named {
        std::string path;
        bool create;  // create it anew, failing where it exists; else write over it in place
    };
    // A temporary is removed, so that the library creates it rather than
    // truncating it (ext4 writes a truncated file back to disk when it is
    // closed); its name stays to be removed should a signal end the run.
    Named handOver();
    // Flushes and closes the stream and puts the file in place; false when
    // any write, the close or the replacement failed.
    bool commit();
    // The errno of what failed first, once commit() has said so: the caller
    // may know an earlier one, from the write that failed the stream.
    int failure() const { return error; }

private:
    void discard();

    std::ofstream out;
    std::string given;      // the name open() was given
    std::string target;     // the file the output ends up in
    std::string temporary;  // empty when writing in place
    unsigned mode = 0;      // permissions for the finished file
    int error = 0;
    bool handedOver = false;  // written by name: the stream has no part in it
};

#endif
