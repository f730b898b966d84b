// run_measured: runs a program and reports, after it ends, its wall time, CPU
// time, peak resident memory and exit status on one line of standard output:
//   measured wall_seconds=2.512 user_seconds=2.101 system_seconds=0.301 max_rss_kib=431012 minor_faults=5120 status=0
// The figures are the child's own (wait4), so they do not depend on
// /usr/bin/time being installed. The program's streams are passed through.

#include <sys/resource.h>
#include <sys/time.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>

namespace {

double seconds(const timeval& time) {
    return static_cast<double>(time.tv_sec) + static_cast<double>(time.tv_usec) * 1e-6;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "Usage: run_measured program [argument...]\n");
        return 2;
    }
    const auto start = std::chrono::steady_clock::now();
    const pid_t child = fork();
    if (child < 0) {
        std::fprintf(stderr, "run_measured: fork failed: %s\n", std::strerror(errno));
        return 2;
    }
    if (child == 0) {
        execvp(argv[1], argv + 1);
        std::fprintf(stderr, "run_measured: cannot run %s: %s\n", argv[1], std::strerror(errno));
        _exit(127);
    }
    int status = 0;
    rusage usage{};
    while (wait4(child, &status, 0, &usage) < 0) {
        if (errno != EINTR) {
            std::fprintf(stderr, "run_measured: wait failed: %s\n", std::strerror(errno));
            return 2;
        }
    }
    const std::chrono::duration<double> wall = std::chrono::steady_clock::now() - start;
    const int exitStatus = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    // ru_maxrss is in kibibytes on Linux.
    std::printf(
        "measured wall_seconds=%.3f user_seconds=%.3f system_seconds=%.3f max_rss_kib=%ld minor_faults=%ld status=%d\n",
        wall.count(), seconds(usage.ru_utime), seconds(usage.ru_stime), usage.ru_maxrss, usage.ru_minflt, exitStatus);
    return exitStatus;
}
