#ifndef TESTS_RUNPROGRAM_H
#define TESTS_RUNPROGRAM_H

#include <sys/types.h>

#include <set>
#include <string>
#include <vector>

// Result of running a program to completion with its output captured.
struct ProgramResult {
    int status = -1;  // exit status, or 128 + signal number
    std::string out;  // everything written to stdout
    std::string err;  // everything written to stderr
};

// Runs program with args (argv[0] is argv0, or program when empty), stdin
// from stdinPath, and waits for it. stdout goes to stdoutPath when one is
// given (result.out then stays empty; "-" leaves it closed), and is captured
// otherwise.
ProgramResult runProgram(const std::string& program, const std::vector<std::string>& args,
                         const std::string& argv0 = "", const std::string& stdoutPath = "",
                         const std::string& stdinPath = "/dev/null");

// Starts program with args, its standard streams on /dev/null and SIGINT,
// SIGTERM and SIGHUP at their default action, and returns at once.
pid_t startProgram(const std::string& program, const std::vector<std::string>& args);
// Whether a started program is still running (it is not reaped).
bool programRunning(pid_t pid);
// Waits for a started program: its exit status, or 128 + signal number.
int waitProgram(pid_t pid);

// A whole file's bytes (empty when it cannot be read), and a file made of bytes.
std::string readFile(const std::string& path);
void writeFile(const std::string& path, const std::string& bytes);

// A new empty directory (its path ends in '/'), the names in a directory,
// and the removal of a directory with the files in it.
std::string makeTempDir(const std::string& tag);
std::set<std::string> filesIn(const std::string& dir);
void removeDir(const std::string& dir);

#endif
