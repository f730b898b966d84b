// Runs the whole translation (record loop, assembly, ZRP writer) on arbitrary
// bytes as a track file. Besides crashes, sanitizer reports and leaks, any
// run that ends other than as the program promises is a finding: status 0
// with a complete ZRP text, or status 1 with a message and no output.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <iostream>
#include <sstream>
#include <string>

#include "Translation.h"

namespace {

[[noreturn]] void violated(const std::string& what, const std::string& out, const std::string& err) {
    std::cerr << "broken promise: " << what << "\n--- output (" << out.size() << " bytes):\n"
              << out.substr(0, 400) << "\n--- diagnostics:\n"
              << err.substr(0, 2000) << std::endl;
    std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::istringstream input(std::string(reinterpret_cast<const char*>(data), size), std::ios::binary);
    std::ostringstream output;
    std::ostringstream diagnostics;
    const TranslationOutcome outcome = translateTrack(input, "fuzz.trk", nullptr, output, diagnostics);
    const std::string out = output.str();
    const std::string err = diagnostics.str();

    // The translation has no command line, so no usage error can come of it.
    if (outcome.outputUnopenable) violated("an output that cannot be opened", out, err);
    if (outcome.status == 0) {
        if (out.compare(0, 16, "ZRPARTICLES 2 1\n") != 0) violated("status 0 without the ZRP header", out, err);
        if (out.back() != '\n') violated("status 0 with an unfinished last line", out, err);
    } else if (outcome.status == 1) {
        if (!out.empty()) violated("status 1 with output", out, err);
        if (err.compare(0, 7, "Error: ") != 0 && err.find("\nError: ") == std::string::npos)
            violated("status 1 without an error message", out, err);
        if (err.back() != '\n') violated("status 1 with an unfinished message", out, err);
    } else {
        violated("status " + std::to_string(outcome.status), out, err);
    }
    return 0;
}
