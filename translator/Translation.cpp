#include "Translation.h"

#include <new>
#include <stdexcept>

#include "Assembly.h"
#include "ChunkSource.h"
#include "OutputFile.h"
#include "Progress.h"
#include "TrackError.h"
#include "ZrpWriter.h"

namespace {

// The named output cannot be opened: the program reports it as a
// command-line error.
struct OutputUnopenable {};

void run(std::istream& input, const std::string& inputName, const char* outputPath, std::ostream& standardOutput,
         std::ostream& diagnostics, bool showProgress) {
    ChunkSource source(input);
    TranslationState state;
    const ZrpPointFormat format;
    // An error thrown while reading erases the line on its way out.
    ProgressLine progress(diagnostics, showProgress);
    assembleTrack(source, state, format, diagnostics, &progress);
    progress.clear();
    if (!state.foundSteadyChunk) fail(inputName + " contained only unsteady track chunks.");

    if (outputPath == nullptr) {
        writeZrp(standardOutput, state);
        standardOutput.flush();
        if (!standardOutput) fail("could not write standard output");
        return;
    }
    OutputFile output;
    if (!output.open(outputPath)) throw OutputUnopenable();
    writeZrp(output.stream(), state);
    if (!output.commit()) fail("could not write output file");
    standardOutput << outputPath << " written." << std::endl;
    if (!standardOutput) fail("could not write standard output");
}

}  // namespace

void assembleTrack(ChunkSource& source, TranslationState& state, const PointFormat& format, std::ostream& diagnostics,
                   ProgressLine* progress) {
    std::uint64_t points = 0;
    for (;;) {
        if (progress != nullptr) progress->update(std::int64_t(source.position()), source.size(), points);
        switch (source.next()) {
            case ChunkSource::Record::SteadyChunk: break;
            case ChunkSource::Record::Other: continue;
            case ChunkSource::Record::EmptyBlock:
            case ChunkSource::Record::End: return;
            case ChunkSource::Record::Unreadable:
                if (progress != nullptr) progress->clear();
                diagnostics << "Warning:  reading stopped at byte " << source.recordOffset() << ": "
                            << source.parseError() << "; later records were not translated." << std::endl;
                return;
        }
        state.foundSteadyChunk = true;
        TrackChunk& chunk = source.chunk();
        Group& group = findTagGroup(state, chunk.name);
        source.readData(chunk);
        assembleChunk(state, group, chunk, format);
        points += static_cast<std::uint64_t>(chunk.size);
    }
}

TranslationOutcome translateTrack(std::istream& input, const std::string& inputName, const char* outputPath,
                                  std::ostream& standardOutput, std::ostream& diagnostics, bool showProgress) {
    TranslationOutcome outcome;
    try {
        run(input, inputName, outputPath, standardOutput, diagnostics, showProgress);
    } catch (const TrackError& error) {
        diagnostics << "Error:  " << error.what() << std::endl;
        outcome.status = 1;
    } catch (const OutputUnopenable&) {
        outcome.status = 1;
        outcome.outputUnopenable = true;
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
