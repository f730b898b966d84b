#include "TemporaryFiles.h"

#include <limits.h>
#include <pthread.h>
#include <signal.h>
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <mutex>
#include <stdexcept>

namespace {

// The handler may run at any moment and on any thread, so the paths live in a
// fixed table that it only reads, and nothing is allocated or freed for them.
// A slot's path is written only while the slot is free; the handler reads
// only held ones.
enum SlotState : int { Free, Held };
static_assert(std::atomic<int>::is_always_lock_free, "the signal handler reads the slot states");

struct Slot {
    std::atomic<int> state{Free};
    char path[PATH_MAX];
};

constexpr std::size_t slotCount = 256;
Slot slots[slotCount];

// Registering and forgetting, between the threads that make files.
std::mutex tableLock;
// Where the search for a free slot begins: a slot just emptied is taken again
// last, so that a handler on another thread that is still reading its old
// path does not see it rewritten.
std::size_t nextSlot = 0;

// SIGPIPE too: a reader that closes the pipe (head) ends the run as Ctrl-C does.
const int cleanedSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGPIPE};

// The columns of a line on standard error that an ending run erases.
std::atomic<std::size_t> lineColumns{0};
static_assert(std::atomic<std::size_t>::is_always_lock_free, "the signal handler reads the line's columns");

void removeHeldFiles() {
    for (Slot& slot : slots)
        if (slot.state.load(std::memory_order_acquire) == Held) unlink(slot.path);
}

// Erases the line with write() alone: a signal may arrive anywhere.
void eraseLine() {
    static const char blanks[] = "                                                                                ";
    std::size_t columns = lineColumns.exchange(0);
    if (columns > 0 && write(STDERR_FILENO, "\r", 1) == 1) {
        while (columns > 0) {
            const std::size_t piece = std::min(columns, sizeof blanks - 1);
            if (write(STDERR_FILENO, blanks, piece) <= 0) break;
            columns -= piece;
        }
        if (write(STDERR_FILENO, "\r", 1) != 1) columns = 0;
    }
}

extern "C" void removeAndRaise(int signalNumber) {
    removeHeldFiles();
    eraseLine();
    // The handler was installed to run once: the signal, raised again, takes
    // its default action as soon as the handler returns.
    raise(signalNumber);
}

// exit() from anywhere (the property reader ends the process on a stream
// that fails) leaves nothing behind either.
extern "C" void removeAtExit() {
    removeHeldFiles();
    eraseLine();
}

// Holds the ending signals off in the calling thread while it lives.
class SignalsHeld {
public:
    SignalsHeld() {
        sigset_t held;
        sigemptyset(&held);
        for (const int signalNumber : cleanedSignals) sigaddset(&held, signalNumber);
        pthread_sigmask(SIG_BLOCK, &held, &previous);
    }
    ~SignalsHeld() { pthread_sigmask(SIG_SETMASK, &previous, nullptr); }
    SignalsHeld(const SignalsHeld&) = delete;
    SignalsHeld& operator=(const SignalsHeld&) = delete;

private:
    sigset_t previous;
};

}  // namespace

void installSignalCleanup() {
    std::atexit(removeAtExit);
    struct sigaction action;
    std::memset(&action, 0, sizeof action);
    action.sa_handler = removeAndRaise;
    // One cleanup at a time: the others wait until the first has ended the process.
    sigemptyset(&action.sa_mask);
    for (const int signalNumber : cleanedSignals) sigaddset(&action.sa_mask, signalNumber);
    action.sa_flags = SA_RESETHAND;
    for (const int signalNumber : cleanedSignals) {
        struct sigaction previous;
        if (sigaction(signalNumber, nullptr, &previous) == 0 && previous.sa_handler == SIG_IGN) continue;
        sigaction(signalNumber, &action, nullptr);
    }
}

int makeTemporaryFile(std::string& pattern) {
    if (pattern.size() >= PATH_MAX) {
        errno = ENAMETOOLONG;
        return -1;
    }
    const SignalsHeld held;
    const int descriptor = mkstemp(&pattern[0]);
    if (descriptor < 0) return -1;
    try {
        removeOnSignal(pattern);
    } catch (...) {
        close(descriptor);
        unlink(pattern.c_str());
        throw;
    }
    return descriptor;
}

void removeOnSignal(const std::string& path) {
    if (path.size() >= PATH_MAX) throw std::length_error("temporary file path too long");
    const std::lock_guard<std::mutex> lock(tableLock);
    for (std::size_t tried = 0; tried < slotCount; ++tried) {
        Slot& slot = slots[(nextSlot + tried) % slotCount];
        if (slot.state.load(std::memory_order_relaxed) != Free) continue;
        std::memcpy(slot.path, path.c_str(), path.size() + 1);
        slot.state.store(Held, std::memory_order_release);
        nextSlot = (nextSlot + tried + 1) % slotCount;
        return;
    }
    throw std::length_error("too many temporary files");
}

void eraseOnSignal(std::size_t columns) {
    lineColumns.store(columns);
}

void forgetOnSignal(const std::string& path) {
    const std::lock_guard<std::mutex> lock(tableLock);
    for (Slot& slot : slots) {
        if (slot.state.load(std::memory_order_relaxed) == Held && path == slot.path) {
            slot.state.store(Free, std::memory_order_release);
            return;
        }
    }
}
