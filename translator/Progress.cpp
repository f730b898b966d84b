#include "Progress.h"

#include <unistd.h>

#include <cstdio>

#include <utility>
#include "TemporaryFiles.h"

namespace {

std::string megabytes(std::int64_t bytes) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f MB", static_cast<double>(bytes) / 1e6);
    return text;
}

}  // namespace

ProgressLine::ProgressLine(std::ostream& out, bool enabled, Clock clock)
    : out(out),
      enabled(enabled),
      clock(std::move(clock)),
      // A disabled line never asks the clock.
      start(enabled ? this->clock() : std::chrono::steady_clock::time_point()),
      next(start + firstDelay) {}

ProgressLine::~ProgressLine() {
    clear();
}

void ProgressLine::update(std::int64_t bytesRead, std::int64_t totalBytes, std::uint64_t points) {
    if (!enabled) return;
    const std::chrono::steady_clock::time_point now = clock();
    if (now < next) return;
    next = now + interval;
    show(progressText(bytesRead, totalBytes, points, now - start, label));
}

void ProgressLine::updateWriting(std::uint64_t written, std::uint64_t total) {
    if (!enabled) return;
    const std::chrono::steady_clock::time_point now = clock();
    if (now < next) return;
    next = now + interval;
    show(writingText(written, total, now - start, label));
}

void ProgressLine::show(const std::string& text) {
    // Blanks over the rest of a longer line shown before.
    const std::size_t pad = shownLength > text.size() ? shownLength - text.size() : 0;
    out << '\r' << text << std::string(pad, ' ') << std::flush;
    shownLength = text.size() + pad;
    eraseOnSignal(shownLength);
}

void ProgressLine::clear() {
    if (shownLength == 0) return;
    eraseOnSignal(0);
    out << '\r' << std::string(shownLength, ' ') << '\r' << std::flush;
    shownLength = 0;
}

std::string progressText(std::int64_t bytesRead, std::int64_t totalBytes, std::uint64_t points,
                         std::chrono::steady_clock::duration elapsed, const std::string& label) {
    // The total cannot be told on a pipe.
    std::string text = label + ": ";
    if (bytesRead >= 0) text += megabytes(bytesRead);
    if (bytesRead >= 0 && totalBytes > 0) {
        const long percent =
            static_cast<long>(100.0 * static_cast<double>(bytesRead) / static_cast<double>(totalBytes));
        text += " of " + megabytes(totalBytes) + " (" + std::to_string(percent) + "%)";
    }
    char seconds[32];
    std::snprintf(seconds, sizeof seconds, "%.1f s",
                  std::chrono::duration_cast<std::chrono::duration<double>>(elapsed).count());
    if (bytesRead >= 0) text += ", ";
    return text + std::to_string(points) + " points, " + seconds;
}

std::string writingText(std::uint64_t written, std::uint64_t total, std::chrono::steady_clock::duration elapsed,
                        const std::string& label) {
    const long percent = total == 0 ? 100 : static_cast<long>(100.0 * double(written) / double(total));
    char seconds[32];
    std::snprintf(seconds, sizeof seconds, "%.1f s",
                  std::chrono::duration_cast<std::chrono::duration<double>>(elapsed).count());
    return label + ": " + std::to_string(written) + " of " + std::to_string(total) + " points (" +
           std::to_string(percent) + "%), " + seconds;
}

bool standardErrorIsTerminal() {
    return isatty(STDERR_FILENO) == 1;
}
