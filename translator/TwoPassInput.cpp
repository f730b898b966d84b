#include "TwoPassInput.h"

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

std::istream& KeptInput::copyAsRead() {
    if (reread.is_open()) {
        reread.clear();
        reread.seekg(0);
        return reread;
    }
    flush();
    if (!copy) throw TrackError(copyFailure);
    reread.open(copy->path(), std::ios::in | std::ios::binary);
    if (!reread) fail("could not read a spill file in " + spillDirectory());
    return reread;
}

TwoPassInput::TwoPassInput(std::istream& input) : original(input), keptStream(nullptr) {
    start = input.rdbuf()->pubseekoff(0, std::ios_base::cur, std::ios_base::in);
    if (start != std::streamoff(-1)) return;
    kept.reset(new KeptInput(input.rdbuf()));
    keptStream.rdbuf(kept.get());
}

std::istream& TwoPassInput::second() {
    if (kept) return kept->copyAsRead();
    original.clear();
    original.seekg(start);
    return original;
}
