#include "InputBuffer.h"

#include <algorithm>
#include <cstdio>

namespace {

// The most one read takes at once, also straight into the reader's memory,
// so that the signal handlers get their turn between reads.
constexpr std::size_t largestRead = std::size_t(1) << 20;
constexpr std::chrono::milliseconds checkInterval(20);

}  // namespace

bool InputBuffer::seekable() {
    const std::int64_t here = seekTo(0, SEEK_CUR);
    if (here < 0) return false;
    const std::int64_t end = seekTo(0, SEEK_END);
    return seekTo(here, SEEK_SET) == here && end >= 0;
}

int InputBuffer::takeError() {
    if (failureTaken) return 0;
    failureTaken = failure != 0;
    return failure;
}

void InputBuffer::raiseStopped() {
    if (!exception) return;
    const pybind11::error_already_set raised = *exception;
    exception.reset();
    throw raised;
}

bool InputBuffer::checkSignals(bool now) {
    if (!now && std::chrono::steady_clock::now() - lastCheck < checkInterval) return !stopped();
    return withPython([] {});
}

std::size_t InputBuffer::readSome(char* out, std::size_t count) {
    if (failure != 0 || stopped()) return 0;
    return readSource(out, std::min(count, largestRead));
}
