#ifndef OUTPUT_TEMPORARYFILES_H
#define OUTPUT_TEMPORARYFILES_H

#include <cstddef>
#include <string>

// Files that must not outlive the run that made them: a temporary output
// beside its target, spill files. A registered file is removed when the
// process is ended by SIGINT, SIGTERM, SIGHUP or SIGPIPE, or by exit(); the
// signal then ends the process as it would have, so the shell sees the usual
// status.

// Installs the handlers of the four signals and the removal at exit; once,
// at the program's start. A signal the program was started with ignored
// (nohup) stays ignored.
void installSignalCleanup();

// Makes a new file from a mkstemp pattern (ending in "XXXXXX", which is
// replaced by the name made) and registers it, with the ending signals held
// off in the calling thread in between so that none can find the file made
// but not registered there; threads of a program that makes files keep the
// signals blocked, so that they arrive where files are made. Returns the
// file's open descriptor, or -1 with errno set.
int makeTemporaryFile(std::string& pattern);

// Registers a file for removal on those signals, or forgets it again (once
// it has been renamed into place or removed). Either may be called from any
// thread; the signal may arrive on any thread.
void removeOnSignal(const std::string& path);
void forgetOnSignal(const std::string& path);

// The line of `columns` characters now shown on standard error (a progress
// line) is erased by an ending signal as well; 0 when none is shown.
void eraseOnSignal(std::size_t columns);

#endif
