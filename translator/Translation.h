#ifndef TRANSLATOR_TRANSLATION_H
#define TRANSLATOR_TRANSLATION_H

#include <istream>
#include <ostream>
#include <string>

// How a run ended.
struct TranslationOutcome {
    int status = 0;            // the exit status
    std::string usageMessage;  // a command-line error, for the usage lines; status is then 1
};

// Runs a whole translation on an opened track stream and never ends the
// process: reads every record, and only then writes the ZRP file to
// outputPath (followed by the " written." line on standardOutput), or to
// standardOutput when outputPath is null. Input, output and memory errors are
// written to `diagnostics` and give status 1. With showProgress, a progress
// line is kept on `diagnostics` while the input is read.
TranslationOutcome translateTrack(std::istream& input, const std::string& inputName, const char* outputPath,
                                  std::ostream& standardOutput, std::ostream& diagnostics, bool showProgress = false);

#endif
