#include "TextBuffer.h"

#include <utility>

void TextBuffer::clear() {
    std::vector<std::string>().swap(full);
    std::string().swap(last);
}

void TextBuffer::append(char c) {
    // The first piece grows as a string does, as far as it will reach.
    if (last.size() == last.capacity() && last.size() >= pieceSize) {
        full.push_back(std::move(last));
        last = std::string();
        last.reserve(pieceSize);
    }
    last += c;
}

void TextBuffer::append(const char* text, std::size_t length) {
    for (std::size_t i = 0; i < length; ++i) append(text[i]);
}

void TextBuffer::assign(const char* text, std::size_t length) {
    clear();
    append(text, length);
}

std::string TextBuffer::take() {
    std::string text;
    if (full.empty()) {
        text = std::move(last);
    } else {
        std::size_t length = last.size();
        for (const std::string& piece : full) length += piece.size();
        text.reserve(length);
        for (std::string& piece : full) {
            text += piece;
            std::string().swap(piece);
        }
        text += last;
    }
    clear();
    return text;
}
