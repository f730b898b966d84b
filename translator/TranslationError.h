#ifndef TRANSLATOR_TRANSLATIONERROR_H
#define TRANSLATOR_TRANSLATIONERROR_H

#include <stdexcept>
#include <string>

struct TrackChunk;
struct ChunkVariable;

// An error that ends the translation: the complete text for standard error
// (whole lines) and the exit status. The translation throws it and catches it
// in one place, so that it can run as a library function.
class TranslationError : public std::runtime_error {
public:
    explicit TranslationError(const std::string& text, int status = 1) : std::runtime_error(text), exitStatus(status) {}
    int status() const { return exitStatus; }

private:
    int exitStatus;
};

// A command-line error: reported with the usage lines by the entry point.
class UsageError : public std::runtime_error {
public:
    explicit UsageError(const std::string& message) : std::runtime_error(message) {}
};

// Throws the one-line input error "Error:  " + text.
[[noreturn]] void fail(const std::string& text);
// Throws "Error:  " + the chunk's label + ": " + problem + ".".
[[noreturn]] void failChunk(const TrackChunk& chunk, const std::string& problem);
// Throws the same with the variable's label before the problem.
[[noreturn]] void failVariable(const TrackChunk& chunk, const ChunkVariable& variable, const std::string& problem);

#endif
