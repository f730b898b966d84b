#include "Translation.h"

#include <cerrno>
#include <cstring>
#include <memory>
#include <new>
#include <stdexcept>

#include "ChunkSource.h"
#include "MemoryBudget.h"
#include "OutputFile.h"
#include "PointStore.h"
#include "Progress.h"
#include "TrackError.h"
#include "TwoPassInput.h"
#include "TwoPasses.h"
#include "WorkQueue.h"

namespace {

// The named output cannot be opened: the program reports it as a
// command-line error.
struct OutputUnopenable {};

// Where the output goes: a named file, opened before anything is read so that
// an unwritable target is refused at once, or standard output.
class Destination {
public:
    Destination(const char* outputPath, std::ostream& standardOutput)
        : path(outputPath), standardOutput(standardOutput) {
        if (path != nullptr && !file.open(path)) throw OutputUnopenable();
    }
    std::ostream& stream() { return path != nullptr ? file.stream() : standardOutput; }
    // The named file, for an output a library writes by its name.
    OutputFile::Named handOver() { return file.handOver(); }
    // Notes the reason of a write that has just failed the stream.
    void noteFailure() {
        if (!stream() && writeError == 0) writeError = errno;
    }
    // Completes the output: the file put in place and the " written." line.
    void commit() {
        if (path == nullptr) {
            standardOutput.flush();
            if (!standardOutput) failWriting("standard output", writeError != 0 ? writeError : errno);
            return;
        }
        if (!file.commit()) failWriting("output file", writeError != 0 ? writeError : file.failure());
        errno = 0;
        standardOutput << path << " written." << std::endl;
        if (!standardOutput) failWriting("standard output", errno);
    }

private:
    [[noreturn]] static void failWriting(const std::string& what, int error) {
        fail("could not write " + what + (error != 0 ? std::string(": ") + std::strerror(error) : ""));
    }

    const char* path;
    std::ostream& standardOutput;
    OutputFile file;
    int writeError = 0;
};

void run(std::istream& input, const std::string& inputName, const char* outputPath, std::ostream& standardOutput,
         std::ostream& diagnostics, const TranslationOptions& options) {
    Destination destination(outputPath, standardOutput);
    const MemoryBudget budget = resolveBudget(options.memoryBudget, options.threads);
    const std::unique_ptr<TrackOutput> output = makeOutput(options.format);
    if (outputPath == nullptr && output->writesByName())
        fail("this format is written to a file by its name: give an output file.");
    // An error thrown while reading erases the line on its way out.
    ProgressLine progress(diagnostics, options.showProgress);
    TwoPassInput passes(input);

    SurveyOptions survey;
    survey.strict = options.strict;
    survey.needs = output->needs();
    survey.indexLimit = budget.indexLimit();
    survey.pieceBytes = budget.pieceBytes;
    survey.warn = [&](const std::string& text) {
        progress.clear();
        diagnostics << "Warning:  " << text << std::endl;
    };
    const auto showReading = [&](std::uint64_t position, std::int64_t size, std::uint64_t points) {
        progress.update(std::int64_t(position), size, points);
    };
    survey.progress = showReading;
    progress.setLabel("Pass 1 of 2, checking");
    TrackLayout layout = [&] {
        ChunkSource source(passes.first());
        return ::survey(source, inputName, survey);
    }();
    progress.clear();
    output->begin(layout);

    WorkQueue queue(budget.threads);
    const std::unique_ptr<PointStore> store = makeStore(layout, budget.pointRoom(layout), &queue);
    PlaceOptions placing;
    placing.pieceBytes = budget.pieceBytes;
    placing.progress = showReading;
    store->fill(
        layout, [&]() -> std::istream& { return passes.second(); }, placing,
        [&](unsigned round) {
            progress.setLabel(store->rounds() == 1 ? std::string("Pass 2 of 2, placing")
                                                   : "Pass 2 of 2, placing (round " + std::to_string(round + 1) +
                                                         " of " + std::to_string(store->rounds()) + ")");
        });
    progress.clear();

    progress.setLabel("Writing");
    const std::uint64_t points = layout.index.pointCount();
    const auto showWriting = [&](std::uint64_t written) { progress.updateWriting(written, points); };
    if (output->writesByName())
        output->writeNamed(destination.handOver(), layout, *store, budget.textPieceBytes, showWriting);
    else
        output->write(destination.stream(), layout, *store, queue, budget.textPieceBytes, showWriting);
    destination.noteFailure();
    progress.clear();
    destination.commit();
}

}  // namespace

TranslationOutcome translateTrack(std::istream& input, const std::string& inputName, const char* outputPath,
                                  std::ostream& standardOutput, std::ostream& diagnostics,
                                  const TranslationOptions& options) {
    TranslationOutcome outcome;
    try {
        run(input, inputName, outputPath, standardOutput, diagnostics, options);
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
