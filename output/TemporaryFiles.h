#ifndef OUTPUT_TEMPORARYFILES_H
#define OUTPUT_TEMPORARYFILES_H

#include <string>

// Files that must not outlive the run that made them: a temporary output
// beside its target, spill files. A registered file is removed when the
// process is ended by SIGINT, SIGTERM or SIGHUP; the signal then ends the
// process as it would have, so the shell sees the usual status.

// Installs the handlers of the three signals; once, at the program's start.
void installSignalCleanup();

// Registers a file for removal on those signals, or forgets it again (once
// it has been renamed into place or removed). Both are for the thread that
// made the file; the signal may arrive on any thread.
void removeOnSignal(const std::string& path);
void forgetOnSignal(const std::string& path);

#endif
