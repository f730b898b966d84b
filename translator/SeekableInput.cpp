#include "SeekableInput.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <vector>

#include "TemporaryFiles.h"
#include "TrackError.h"

std::string spillDirectory() {
    const char* directory = std::getenv("TMPDIR");
    return directory != nullptr && *directory != '\0' ? directory : "/tmp";
}

SeekableInput::SeekableInput(std::istream& input) : original(input) {
    start = input.rdbuf()->pubseekoff(0, std::ios_base::cur, std::ios_base::in);
    if (start != std::streamoff(-1)) return;

    std::string name = spillDirectory() + "/trk_to_zrp-input-XXXXXX";
    const int descriptor = mkstemp(&name[0]);
    if (descriptor < 0) fail("could not make a spill file in " + spillDirectory());
    spilled = name;
    removeOnSignal(spilled);
    std::vector<char> buffer(std::size_t(1) << 20);
    bool written = true;
    for (;;) {
        const std::streamsize got = input.rdbuf()->sgetn(buffer.data(), static_cast<std::streamsize>(buffer.size()));
        if (got <= 0) break;
        for (std::streamsize done = 0; written && done < got;) {
            const ssize_t put = ::write(descriptor, buffer.data() + done, static_cast<std::size_t>(got - done));
            written = put > 0;
            if (written) done += put;
        }
        if (!written) break;
    }
    written = ::close(descriptor) == 0 && written;
    if (!written) fail("could not write the spill file " + spilled);
    copy.open(spilled, std::ios::in | std::ios::binary);
    if (!copy) fail("could not read the spill file " + spilled);
}

SeekableInput::~SeekableInput() {
    if (spilled.empty()) return;
    copy.close();
    std::remove(spilled.c_str());
    forgetOnSignal(spilled);
}

void SeekableInput::rewind() {
    std::istream& in = stream();
    in.clear();
    in.seekg(spilled.empty() ? start : 0);
}
