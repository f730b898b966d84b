#ifndef PROPERTIES_TEXTBUFFER_H
#define PROPERTIES_TEXTBUFFER_H

#include <cstddef>
#include <string>
#include <vector>

// The characters of a token that the lexer collects a few at a time. A
// string may be as long as its block. A buffer that grows by reallocating
// holds its old and new storage at once, and leaves the old behind in the
// heap, where a program that keeps freed memory (the translator does) keeps
// it resident: a token of N bytes could cost 3N. The characters are kept in
// pieces of a fixed size instead and joined once, when the token ends, so
// that it costs at most 2N.
class TextBuffer {
public:
    // Drops the characters and the memory that held them.
    void clear();
    void append(char c);
    void append(const char* text, std::size_t length);
    void assign(const char* text, std::size_t length);
    // The characters as one string, in storage of their own size (except for
    // a string shorter than one piece, which keeps the piece's storage); the
    // buffer is left empty.
    std::string take();

private:
    static constexpr std::size_t pieceSize = std::size_t(64) << 10;

    std::vector<std::string> full;  // full pieces, of pieceSize characters or more
    std::string last;               // the piece being filled
};

#endif
