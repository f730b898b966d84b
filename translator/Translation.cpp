#include "Translation.h"

#include <unistd.h>

#include <new>
#include <stdexcept>

#include "Assembly.h"
#include "ChunkSource.h"
#include "CsvWriter.h"
#include "OutputFile.h"
#include "PathIndex.h"
#include "Progress.h"
#include "TrackError.h"
#include "VtpTranslation.h"
#include "ZrpWriter.h"

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
    // Completes the output: the file put in place and the " written." line.
    void commit() {
        if (path == nullptr) {
            standardOutput.flush();
            if (!standardOutput) fail("could not write standard output");
            return;
        }
        if (!file.commit()) fail("could not write output file");
        standardOutput << path << " written." << std::endl;
        if (!standardOutput) fail("could not write standard output");
    }

private:
    const char* path;
    std::ostream& standardOutput;
    OutputFile file;
};

void run(std::istream& input, const std::string& inputName, const char* outputPath, std::ostream& standardOutput,
         std::ostream& diagnostics, const TranslationOptions& options) {
    Destination destination(outputPath, standardOutput);
    if (options.format == OutputFormat::Vtp) {
        translateToVtp(input, inputName, destination.stream(), diagnostics, options);
        destination.commit();
        return;
    }
    const ZrpFormat zrp;
    const CsvFormat csv;
    const TextFormat& format = options.format == OutputFormat::Csv ? static_cast<const TextFormat&>(csv) : zrp;
    ChunkSource source(input);
    TranslationState state;
    // An error thrown while reading erases the line on its way out.
    ProgressLine progress(diagnostics, options.showProgress);
    assembleTrack(source, state, format.pointFormat(), diagnostics, &progress, options.strict);
    progress.clear();
    if (!state.foundSteadyChunk) fail(inputName + " contained only unsteady track chunks.");
    format.check(state);
    writeText(destination.stream(), state, format);
    destination.commit();
}

}  // namespace

std::uint64_t memoryBudgetOf(const TranslationOptions& options) {
    if (options.memoryBudget != 0) return options.memoryBudget;
    const long pages = sysconf(_SC_PHYS_PAGES);
    const long pageSize = sysconf(_SC_PAGE_SIZE);
    if (pages <= 0 || pageSize <= 0) return std::uint64_t(1) << 30;
    return std::uint64_t(pages) * std::uint64_t(pageSize) / 2;
}

void walkTrack(ChunkSource& source, TranslationState& state, std::ostream& diagnostics, bool strict,
               ProgressLine* progress, const std::function<void(TrackChunk&, Group&)>& take) {
    std::uint64_t points = 0;
    for (;;) {
        if (progress != nullptr) progress->update(std::int64_t(source.position()), source.size(), points);
        switch (source.next()) {
            case ChunkSource::Record::SteadyChunk: break;
            case ChunkSource::Record::Other: continue;
            case ChunkSource::Record::EmptyBlock:
            case ChunkSource::Record::End: return;
            case ChunkSource::Record::Unreadable:
                if (strict)
                    fail("the block at byte " + std::to_string(source.recordOffset()) +
                         " does not parse: " + source.parseError() + ".");
                if (progress != nullptr) progress->clear();
                diagnostics << "Warning:  reading stopped at byte " << source.recordOffset() << ": "
                            << source.parseError() << "; later records were not translated." << std::endl;
                return;
        }
        state.foundSteadyChunk = true;
        TrackChunk& chunk = source.chunk();
        take(chunk, findTagGroup(state, chunk.name));
        points += static_cast<std::uint64_t>(chunk.size);
    }
}

void assembleTrack(ChunkSource& source, TranslationState& state, const PointFormat& format, std::ostream& diagnostics,
                   ProgressLine* progress, bool strict) {
    walkTrack(source, state, diagnostics, strict, progress, [&](TrackChunk& chunk, Group& group) {
        source.readData(chunk);
        assembleChunk(state, group, chunk, format);
    });
}

void indexTrack(ChunkSource& source, TranslationState& state, PathIndex& index, std::ostream& diagnostics,
                ProgressLine* progress, bool strict, const ChunkInspector& inspect) {
    walkTrack(source, state, diagnostics, strict, progress, [&](TrackChunk& chunk, Group& group) {
        const std::size_t groupIndex = static_cast<std::size_t>(group.number - 1);
        index.addGroup(groupIndex);
        checkChunkVariables(state, chunk);
        if (chunk.size <= 0) {
            if (inspect) inspect(chunk, {});
            return;
        }
        const std::vector<LineColumn> columns = pointColumns(state, chunk);
        if (inspect) inspect(chunk, columns);
        const ChunkVariable& parcel = parcelVariableOf(state, chunk);
        source.readData(chunk, {parcel.index});
        const std::size_t stride = static_cast<std::size_t>(parcel.dataSize);
        for (std::size_t i = 0; i < static_cast<std::size_t>(chunk.size); ++i)
            index.count(groupIndex, loadValue<std::uint32_t>(parcel.data.data() + i * stride));
    });
    index.finish();
}

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
