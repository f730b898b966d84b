#include "Translation.h"

#include <unistd.h>

#include <algorithm>
#include <memory>
#include <new>
#include <sstream>
#include <stdexcept>

#include "Assembly.h"
#include "BoundedTranslation.h"
#include "ChunkSource.h"
#include "CsvWriter.h"
#include "OutputFile.h"
#include "PathIndex.h"
#include "Progress.h"
#include "SeekableInput.h"
#include "TrackError.h"
#include "VtpTranslation.h"
#include "WorkQueue.h"
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

// The most text a track file of `bytes` can give, with the memory of its
// lines and paths: a value of four bytes is at most fourteen characters.
std::uint64_t textEstimate(std::int64_t bytes) {
    return 4 * std::uint64_t(std::max<std::int64_t>(bytes, 0));
}

// A line-oriented output, in one pass when its text fits the memory budget
// and in three otherwise. A file whose size says it may not fit goes to the
// three passes at once; a pipe is kept in a spill file as it is read, in
// case its text turns out not to fit.
void translateText(std::istream& input, const std::string& inputName, std::ostream& out, const TextFormat& format,
                   const TranslationOptions& options, std::ostream& diagnostics, ProgressLine& progress) {
    const std::uint64_t budget = memoryBudgetOf(options);
    const std::streamoff start = input.rdbuf()->pubseekoff(0, std::ios_base::cur, std::ios_base::in);
    const bool seekable = start != std::streamoff(-1);
    if (seekable) {
        const std::streamoff end = input.rdbuf()->pubseekoff(0, std::ios_base::end, std::ios_base::in);
        input.rdbuf()->pubseekpos(start, std::ios_base::in);
        if (textEstimate(end - start) > budget) {
            translateBounded(input, inputName, out, format, options, diagnostics, progress);
            return;
        }
    }
    std::unique_ptr<KeptInput> kept;
    std::istream keptStream(nullptr);
    if (!seekable) {
        kept.reset(new KeptInput(input.rdbuf()));
        keptStream.rdbuf(kept.get());
    }
    try {
        TranslationState state;
        WorkQueue queue(options.threads != 0 ? options.threads : defaultThreadCount());
        ChunkSource source(seekable ? input : keptStream);
        // A warning waits for the attempt to succeed: the three passes
        // would give it again.
        std::ostringstream warnings;
        assembleTrack(source, state, format.pointFormat(), warnings, &progress, options.strict, &queue, budget);
        progress.clear();
        diagnostics << warnings.str() << std::flush;
        if (!state.foundSteadyChunk) fail(inputName + " contained only unsteady track chunks.");
        format.check(state);
        writeText(out, state, format, &queue);
        return;
    } catch (const MemoryBudgetExceeded&) {
        // Everything the first attempt held is released by now.
    }
    progress.clear();
    if (seekable) {
        input.clear();
        input.seekg(start);
        translateBounded(input, inputName, out, format, options, diagnostics, progress);
    } else {
        translateBounded(kept->keepRest(), inputName, out, format, options, diagnostics, progress);
    }
}

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
    // An error thrown while reading erases the line on its way out.
    ProgressLine progress(diagnostics, options.showProgress);
    translateText(input, inputName, destination.stream(), format, options, diagnostics, progress);
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
                            << shownInMessage(source.parseError()) << "; later records were not translated."
                            << std::endl;
                return;
        }
        state.foundSteadyChunk = true;
        TrackChunk& chunk = source.chunk();
        take(chunk, findTagGroup(state, chunk.name));
        points += static_cast<std::uint64_t>(chunk.size);
    }
}

void assembleTrack(ChunkSource& source, TranslationState& state, const PointFormat& format, std::ostream& diagnostics,
                   ProgressLine* progress, bool strict, WorkQueue* queue, std::uint64_t memoryBudget) {
    WorkQueue serial(1);
    SliceFormatter formatter(queue != nullptr ? *queue : serial, format);
    std::uint64_t held = 0;
    walkTrack(source, state, diagnostics, strict, progress, [&](TrackChunk& chunk, Group& group) {
        source.readData(chunk);
        checkChunkVariables(state, chunk);
        if (chunk.size <= 0) return;
        formatter.add(chunkLines(state, std::move(chunk)), [&](FormattedSlice& slice) {
            const std::size_t before = group.memoryUsed();
            addSlice(group, slice);
            held += group.memoryUsed() - before;
            if (memoryBudget != 0 && held > memoryBudget) throw MemoryBudgetExceeded();
        });
    });
    formatter.finish();
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

void failInputChanged() {
    fail("the input changed while it was being read.");
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
