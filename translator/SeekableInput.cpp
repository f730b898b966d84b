#include "SeekableInput.h"

#include <algorithm>

#include "TrackError.h"

namespace {

constexpr std::size_t copyPiece = std::size_t(1) << 20;

}  // namespace

KeptInput::KeptInput(std::streambuf* source) : source(source) {
    try {
        copy.reset(new SpillFile("input"));
        pending.reserve(copyPiece);
    } catch (const TrackError& error) {
        copyFailure = error.what();
    }
}

void KeptInput::write(const char* data, std::size_t count) {
    if (!copy || count == 0) return;
    try {
        copy->append(data, count);
    } catch (const TrackError& error) {
        copyFailure = error.what();
        copy.reset();
    }
}

void KeptInput::flush() {
    write(pending.data(), pending.size());
    pending.clear();
}

void KeptInput::keep(const char* data, std::size_t count) {
    if (!copy) return;
    if (pending.size() + count > copyPiece) flush();
    if (count > copyPiece)
        write(data, count);
    else
        pending.insert(pending.end(), data, data + count);
}

KeptInput::int_type KeptInput::underflow() {
    const int_type next = source->sbumpc();
    if (traits_type::eq_int_type(next, traits_type::eof())) return next;
    current = traits_type::to_char_type(next);
    keep(&current, 1);
    setg(&current, &current, &current + 1);
    return next;
}

std::streamsize KeptInput::xsgetn(char* out, std::streamsize count) {
    std::streamsize done = 0;
    if (count > 0 && gptr() < egptr()) {
        *out = *gptr();
        gbump(1);
        done = 1;
    }
    const std::streamsize read = source->sgetn(out + done, count - done);
    if (read > 0) keep(out + done, static_cast<std::size_t>(read));
    return done + read;
}

std::istream& KeptInput::keepRest() {
    std::vector<char> piece(copyPiece);
    for (;;) {
        const std::streamsize read = source->sgetn(piece.data(), static_cast<std::streamsize>(piece.size()));
        if (read <= 0) break;
        keep(piece.data(), static_cast<std::size_t>(read));
    }
    flush();
    if (!copy) throw TrackError(copyFailure);
    reread.open(copy->path(), std::ios::in | std::ios::binary);
    if (!reread) fail("could not read a spill file in " + spillDirectory());
    return reread;
}

SeekableInput::SeekableInput(std::istream& input) : original(input) {
    start = input.rdbuf()->pubseekoff(0, std::ios_base::cur, std::ios_base::in);
    if (start != std::streamoff(-1)) return;
    kept.reset(new KeptInput(input.rdbuf()));
    copy = &kept->keepRest();
}

void SeekableInput::rewind() {
    std::istream& in = stream();
    in.clear();
    in.seekg(kept ? 0 : start);
}
