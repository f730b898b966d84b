#include "Translation.h"

#include <new>
#include <stdexcept>

#include "Assembly.h"
#include "OutputFile.h"
#include "Progress.h"
#include "TrackReader.h"
#include "TranslationError.h"
#include "ZrpWriter.h"

namespace {

void run(std::istream& input, const std::string& inputName, const char* outputPath, std::ostream& standardOutput,
         std::ostream& diagnostics, bool showProgress) {
    TranslationState state;
    // An error thrown while reading erases the line on its way out.
    ProgressLine progress(diagnostics, showProgress);
    readTrackFile(input, state, diagnostics, &progress);
    progress.clear();
    if (!state.foundSteadyChunk) fail(inputName + " contained only unsteady track chunks.");

    if (outputPath == nullptr) {
        writeZrp(standardOutput, state);
        standardOutput.flush();
        if (!standardOutput) fail("could not write standard output");
        return;
    }
    OutputFile output;
    if (!output.open(outputPath)) throw UsageError("could not open output file");
    writeZrp(output.stream(), state);
    if (!output.commit()) fail("could not write output file");
    standardOutput << outputPath << " written." << std::endl;
}

}  // namespace

TranslationOutcome translateTrack(std::istream& input, const std::string& inputName, const char* outputPath,
                                  std::ostream& standardOutput, std::ostream& diagnostics, bool showProgress) {
    TranslationOutcome outcome;
    try {
        run(input, inputName, outputPath, standardOutput, diagnostics, showProgress);
    } catch (const TranslationError& error) {
        diagnostics << error.what() << std::flush;
        outcome.status = error.status();
    } catch (const UsageError& error) {
        outcome.status = 1;
        outcome.usageMessage = error.what();
    } catch (const std::bad_alloc&) {
        // Everything the run held has been released by now.
        diagnostics << "Error:  out of memory" << std::endl;
        outcome.status = 1;
    } catch (const std::length_error&) {
        diagnostics << "Error:  out of memory" << std::endl;
        outcome.status = 1;
    }
    return outcome;
}
