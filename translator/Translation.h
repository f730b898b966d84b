#ifndef TRANSLATOR_TRANSLATION_H
#define TRANSLATOR_TRANSLATION_H

#include <cstdint>
#include <istream>
#include <ostream>
#include <string>

#include "TrackOutput.h"

// What a run is asked to do besides reading and writing.
struct TranslationOptions {
    OutputFormat format = OutputFormat::Zrp;
    std::uint64_t memoryBudget = 0;  // bytes the whole run may hold; 0 for the default
    unsigned threads = 0;            // threads that format the output; 0 for one per core
    bool strict = false;             // a block that does not parse is an error, not a warning
    bool showProgress = false;       // keep a progress line on the diagnostics stream
};

// How a run ended.
struct TranslationOutcome {
    int status = 0;                 // the exit status
    bool outputUnopenable = false;  // the named output cannot be written; status is then 1
};

// Runs a whole translation on an opened track stream and never ends the
// process: the first pass checks everything and learns the layout, the
// second places every point, and only then is the output file written to
// outputPath (followed by the " written." line on standardOutput), or to
// standardOutput when outputPath is null. Input, output and memory errors
// are written to `diagnostics` and give status 1.
TranslationOutcome translateTrack(std::istream& input, const std::string& inputName, const char* outputPath,
                                  std::ostream& standardOutput, std::ostream& diagnostics,
                                  const TranslationOptions& options = TranslationOptions());

#endif
