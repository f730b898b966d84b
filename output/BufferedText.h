#ifndef OUTPUT_BUFFEREDTEXT_H
#define OUTPUT_BUFFEREDTEXT_H

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <cstring>
#include <ostream>
#include <string>
#include <vector>

// Collects text in a buffer and hands it to the stream in large writes:
// millions of short lines through the stream one by one would dominate the
// run time. Once the stream has failed, nothing more is written; the caller
// checks the stream afterwards. Without a stream the text is only collected,
// for another thread to write.
class BufferedText {
public:
    explicit BufferedText(std::ostream& stream) : out(&stream), buffer(capacity) {}
    BufferedText() = default;
    ~BufferedText() { flush(); }
    BufferedText(const BufferedText&) = delete;
    BufferedText& operator=(const BufferedText&) = delete;

    bool failed() const { return out != nullptr && !*out; }
    // The text collected so far (all of it, without a stream).
    const char* data() const { return buffer.data(); }
    std::size_t size() const { return used; }
    // Forgets the text collected, keeping the room it took.
    void clear() { used = 0; }

    // Text and a line feed.
    void line(const char* text, std::size_t length) {
        raw(text, length);
        raw("\n", 1);
    }
    void line(const std::string& text) { line(text.data(), text.size()); }
    void line(std::uint64_t number) {
        char text[24];
        const auto result = std::to_chars(text, text + sizeof text, number);
        line(text, static_cast<std::size_t>(result.ptr - text));
    }
    // Text as it is, line feeds included.
    void raw(const char* text, std::size_t length) {
        reserve(length);
        std::memcpy(buffer.data() + used, text, length);
        used += length;
    }
    void raw(const std::string& text) { raw(text.data(), text.size()); }

    void flush() {
        if (out == nullptr) return;
        if (used > 0 && *out) out->write(buffer.data(), static_cast<std::streamsize>(used));
        used = 0;
    }

private:
    static constexpr std::size_t capacity = std::size_t(1) << 20;

    void reserve(std::size_t length) {
        if (buffer.size() - used >= length) return;
        if (out == nullptr) {
            buffer.resize(std::max(2 * buffer.size(), used + length));
            return;
        }
        flush();
        if (buffer.size() < length) buffer.resize(length);
    }

    std::ostream* out = nullptr;
    std::vector<char> buffer;
    std::size_t used = 0;
};

#endif
