#ifndef CLI_PROGRAMOPTIONS_H
#define CLI_PROGRAMOPTIONS_H

#include <getopt.h>

#include <string>

// What the programs share in reading their command lines with getopt_long.

// Starts a fresh scan, with getopt_long's own messages off: a command line
// may be read more than once in a process.
void startOptionScan();

// The option strings begin with "-:". The '-' makes getopt_long return each
// file name in turn as code `fileNameCode` (optarg the name), wherever it
// stands and whatever POSIXLY_CORRECT says, so that an option after a file
// name is never taken for another file name; the names after "--" are left
// in argv from optind. The ':' tells a missing value from an unknown option.
constexpr int fileNameCode = 1;

// Why getopt_long, called with an option string that begins with ':',
// refused the option it has just read (it returned `code`, '?' or ':'):
// "unknown option --bogus", "unknown option -o in -odd.trk (a file name that
// begins with - follows --)", "--threads needs a value", "--strict takes no
// value".
std::string refusedOption(int code, char** argv, const option* longOptions);

// What --version prints, without the line feed: "trk_dump 0.1".
std::string versionLine(const std::string& program);

// Writes the help or version text to standard output; the exit status:
// 0 once it is written, 1 when standard output could not take it.
int printedStatus(const std::string& text);

#endif
