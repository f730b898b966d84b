#ifndef TRANSLATOR_TRANSLATION_H
#define TRANSLATOR_TRANSLATION_H

#include <istream>
#include <ostream>
#include <string>

class ChunkSource;
class PointFormat;
class ProgressLine;
struct TranslationState;

// The stages of a translation, wired: the chunk source's steady chunks go to
// the assembly, which keeps their points as lines of `format` in `state`.
// Reading ends at the end of the records; a block that does not parse
// (trailing bytes of a stored file) gets one warning line on `diagnostics`.
// Faults are thrown as TrackError. `progress`, when given, is offered the
// position at every record.
void assembleTrack(ChunkSource& source, TranslationState& state, const PointFormat& format, std::ostream& diagnostics,
                   ProgressLine* progress = nullptr);

// How a run ended.
struct TranslationOutcome {
    int status = 0;                 // the exit status
    bool outputUnopenable = false;  // the named output cannot be written; status is then 1
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
