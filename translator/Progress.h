#ifndef TRANSLATOR_PROGRESS_H
#define TRANSLATOR_PROGRESS_H

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <ostream>
#include <string>

// A progress line for long reads: bytes read of the input's size, points,
// elapsed time. It is rewritten in place with "\r", so it belongs on a
// terminal only; scripts and tests must see the program's own messages and
// nothing else, which is why a disabled line writes nothing at all.
class ProgressLine {
public:
    using Clock = std::function<std::chrono::steady_clock::time_point()>;

    // Quick runs show nothing: the first line waits this long.
    static constexpr std::chrono::milliseconds firstDelay{500};
    // At most four lines a second after that.
    static constexpr std::chrono::milliseconds interval{250};

    ProgressLine(std::ostream& out, bool enabled, Clock clock = std::chrono::steady_clock::now);
    ~ProgressLine();

    ProgressLine(const ProgressLine&) = delete;
    ProgressLine& operator=(const ProgressLine&) = delete;

    // Called as often as convenient; writes only when a line is due.
    // totalBytes is negative when the input's size is not known.
    void update(std::int64_t bytesRead, std::int64_t totalBytes, std::uint64_t points);
    // The same while writing: the points written of all there are.
    void updateWriting(std::uint64_t written, std::uint64_t total);
    // What the line says is being done, "Reading" at first; a translation
    // in several passes names each.
    void setLabel(const std::string& text) { label = text; }
    // Erases the line, if one is showing, so that the next message starts
    // on a clean line. Later updates may show it again.
    void clear();

private:
    void show(const std::string& text);

    std::ostream& out;
    const bool enabled;
    const Clock clock;
    const std::chrono::steady_clock::time_point start;
    std::chrono::steady_clock::time_point next;
    std::size_t shownLength = 0;  // characters of the line on the terminal
    std::string label = "Reading";
};

// The text of one progress line, without the "\r".
std::string progressText(std::int64_t bytesRead, std::int64_t totalBytes, std::uint64_t points,
                         std::chrono::steady_clock::duration elapsed, const std::string& label = "Reading");

// The text of a line while writing: "Writing: 1000 of 4000 points (25%), 1.5 s".
std::string writingText(std::uint64_t written, std::uint64_t total, std::chrono::steady_clock::duration elapsed,
                        const std::string& label = "Writing");

// True when standard error is a terminal: the only place a progress line
// goes.
bool standardErrorIsTerminal();

#endif
