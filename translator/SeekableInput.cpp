#include "SeekableInput.h"

#include <algorithm>

#include "TrackError.h"

namespace {

constexpr std::size_t copyPiece = std::size_t(1) << 20;

}  // namespace

KeptInput::KeptInput(std::streambuf* source) : CountingBuffer(source) {
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

void KeptInput::passed(const char* data, std::size_t count) {
    if (!copy) return;
    if (pending.size() + count > copyPiece) flush();
    if (count > copyPiece)
        write(data, count);
    else
        pending.insert(pending.end(), data, data + count);
}

std::istream& KeptInput::keepRest() {
    std::vector<char> piece(copyPiece);
    for (;;) {
        const std::streamsize read = source->sgetn(piece.data(), static_cast<std::streamsize>(piece.size()));
        if (read <= 0) break;
        passed(piece.data(), static_cast<std::size_t>(read));
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
