#include "TemporaryFiles.h"

#include <unistd.h>

#include <atomic>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <stdexcept>

namespace {

// The handler may run at any moment, so the paths live in a fixed table of
// C strings that it only reads; a slot is taken and emptied with one atomic
// exchange.
constexpr std::size_t slotCount = 256;
std::atomic<char*> slots[slotCount];

extern "C" void removeAndRaise(int signalNumber) {
    for (std::atomic<char*>& slot : slots) {
        const char* path = slot.load();
        if (path != nullptr) unlink(path);
    }
    // The handler was installed to run once: the signal, raised again, now
    // takes its default action when the handler returns.
    raise(signalNumber);
}

}  // namespace

void installSignalCleanup() {
    struct sigaction action;
    std::memset(&action, 0, sizeof action);
    action.sa_handler = removeAndRaise;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESETHAND;
    for (const int signalNumber : {SIGINT, SIGTERM, SIGHUP}) {
        struct sigaction previous;
        // A signal the caller ignores (nohup) stays ignored.
        if (sigaction(signalNumber, nullptr, &previous) == 0 && previous.sa_handler == SIG_IGN) continue;
        sigaction(signalNumber, &action, nullptr);
    }
}

void removeOnSignal(const std::string& path) {
    char* copy = strdup(path.c_str());
    if (copy == nullptr) throw std::bad_alloc();
    for (std::atomic<char*>& slot : slots) {
        char* expected = nullptr;
        if (slot.compare_exchange_strong(expected, copy)) return;
    }
    std::free(copy);
    throw std::length_error("too many temporary files");
}

void forgetOnSignal(const std::string& path) {
    for (std::atomic<char*>& slot : slots) {
        char* held = slot.load();
        if (held != nullptr && path == held && slot.compare_exchange_strong(held, nullptr)) {
            std::free(held);
            return;
        }
    }
}
