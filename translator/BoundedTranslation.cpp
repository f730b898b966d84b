#include "BoundedTranslation.h"

#include <algorithm>
#include <cstring>
#include <sstream>
#include <stdexcept>
#include <vector>

#include "Assembly.h"
#include "ChunkSource.h"
#include "PathIndex.h"
#include "Progress.h"
#include "SliceFormatter.h"
#include "SpillFile.h"
#include "TrackError.h"
#include "WorkQueue.h"

namespace {

// A line in a spill file: its place within its partition and its length,
// then its text.
struct LineRecord {
    std::uint32_t place;
    std::uint32_t length;
};

// A run of paths, in output order, whose lines are kept and read back
// together; the output points [firstPoint, endPoint) are its lines.
struct Partition {
    std::uint64_t firstPoint = 0;
    std::uint64_t endPoint = 0;
    bool streamed = false;                                        // one path larger than a partition may be
    std::vector<std::pair<std::uint64_t, std::uint32_t>> blocks;  // offset and length in the spill file
    std::vector<char> pending;                                    // lines not yet in a block
};

// Cuts the output into partitions whose text, at most `lineBound` bytes a
// line plus the place of each line, fits `room`.
std::vector<Partition> planPartitions(const PathIndex& index, std::uint64_t lineBound, std::uint64_t room) {
    std::vector<Partition> partitions;
    const std::uint64_t perPoint = lineBound + sizeof(LineRecord) + sizeof(std::uint64_t);
    // A line's place within its partition is a 32-bit number.
    room = std::min(room, perPoint * 0xffffffffu);
    std::uint64_t used = 0;
    index.forEachPath([&](const PathIndex::Path& path) {
        const std::uint64_t need = path.count * perPoint;
        if (need > room) {
            Partition alone;
            alone.firstPoint = path.firstPoint;
            alone.endPoint = path.firstPoint + path.count;
            alone.streamed = true;
            partitions.push_back(std::move(alone));
            used = room;  // the next path starts a partition of its own
            return;
        }
        if (partitions.empty() || used + need > room) {
            partitions.emplace_back();
            partitions.back().firstPoint = path.firstPoint;
            used = 0;
        }
        partitions.back().endPoint = path.firstPoint + path.count;
        used += need;
    });
    return partitions;
}

class LineSpill {
public:
    LineSpill(std::vector<Partition>& partitions, std::size_t blockSize)
        : partitions(partitions), blockSize(blockSize), spill("lines") {}

    // Appends the line at output point `point` to its partition.
    void add(std::uint64_t point, const char* text, std::size_t length) {
        Partition& partition = partitionOf(point);
        const LineRecord record{partition.streamed ? 0 : static_cast<std::uint32_t>(point - partition.firstPoint),
                                static_cast<std::uint32_t>(length)};
        if (partition.pending.size() + sizeof record + length > blockSize) flush(partition);
        if (partition.pending.capacity() < blockSize) partition.pending.reserve(blockSize);
        const std::size_t at = partition.pending.size();
        partition.pending.resize(at + sizeof record + length);
        std::memcpy(partition.pending.data() + at, &record, sizeof record);
        std::memcpy(partition.pending.data() + at + sizeof record, text, length);
        if (partition.pending.size() >= blockSize) flush(partition);
    }
    void flushAll() {
        for (Partition& partition : partitions) {
            flush(partition);
            partition.pending.shrink_to_fit();
        }
    }
    const SpillFile& file() const { return spill; }

private:
    Partition& partitionOf(std::uint64_t point) {
        // Consecutive lines often share a partition.
        if (last < partitions.size() && partitions[last].firstPoint <= point && point < partitions[last].endPoint)
            return partitions[last];
        const auto after = std::upper_bound(partitions.begin(), partitions.end(), point,
                                            [](std::uint64_t p, const Partition& part) { return p < part.firstPoint; });
        last = static_cast<std::size_t>(after - partitions.begin()) - 1;
        return partitions[last];
    }
    void flush(Partition& partition) {
        if (partition.pending.empty()) return;
        const std::uint64_t offset = spill.append(partition.pending.data(), partition.pending.size());
        partition.blocks.emplace_back(offset, static_cast<std::uint32_t>(partition.pending.size()));
        partition.pending.clear();
    }

    std::vector<Partition>& partitions;
    const std::size_t blockSize;
    SpillFile spill;
    std::size_t last = 0;
};

// Calls visit(record, text) for every line of a block.
template <typename Visit>
void forEachLine(const char* block, std::size_t length, Visit visit) {
    for (std::size_t at = 0; at < length;) {
        LineRecord record;
        std::memcpy(&record, block + at, sizeof record);
        visit(record, block + at + sizeof record);
        at += sizeof record + record.length;
    }
}

// Writes the paths of the index in output order, reading their lines back
// from the spill partition by partition.
class PartitionWriter {
public:
    PartitionWriter(const TranslationState& state, const TextFormat& format, std::vector<Partition>& partitions,
                    const SpillFile& spill, BufferedText& text, ProgressLine& progress)
        : state(state), format(format), partitions(partitions), spill(spill), text(text), progress(progress) {}

    void write(const PathIndex::Path& path) {
        if (text.failed()) return;
        while (current == none || path.firstPoint >= partitions[current].endPoint) advance();
        const Partition& partition = partitions[current];
        const TextPath textPath{path.group, path.parcel, path.count};
        format.writePathStart(text, state, textPath);
        if (partition.streamed) {
            std::uint64_t k = 0;
            for (const auto& block : partition.blocks) {
                read(block);
                forEachLine(data.data(), block.second, [&](const LineRecord& record, const char* line) {
                    format.writeLine(text, state, textPath, k++, line, record.length);
                });
            }
            return;
        }
        const std::uint64_t base = path.firstPoint - partition.firstPoint;
        for (std::uint64_t k = 0; k < path.count; ++k) {
            const char* at = data.data() + places[static_cast<std::size_t>(base + k)];
            LineRecord record;
            std::memcpy(&record, at, sizeof record);
            format.writeLine(text, state, textPath, k, at + sizeof record, record.length);
        }
    }

private:
    void read(const std::pair<std::uint64_t, std::uint32_t>& block) {
        data.resize(block.second);
        spill.read(block.first, data.data(), block.second);
        bytesRead += block.second;
        progress.update(std::int64_t(bytesRead), std::int64_t(spill.size()), 0);
    }
    // Moves to the next partition: reads it whole and finds each line's
    // place; a streamed one is read block by block as it is written.
    void advance() {
        if (current != none) {
            partitions[current].blocks.clear();
            partitions[current].blocks.shrink_to_fit();
        }
        current = current == none ? 0 : current + 1;
        const Partition& partition = partitions.at(current);
        if (partition.streamed) return;
        std::size_t total = 0;
        for (const auto& block : partition.blocks) total += block.second;
        data.assign(total, 0);
        places.assign(static_cast<std::size_t>(partition.endPoint - partition.firstPoint), 0);
        std::size_t at = 0;
        for (const auto& block : partition.blocks) {
            spill.read(block.first, data.data() + at, block.second);
            forEachLine(data.data() + at, block.second, [&](const LineRecord& record, const char* line) {
                places[record.place] = static_cast<std::uint64_t>(line - sizeof record - data.data());
            });
            at += block.second;
        }
        bytesRead += total;
        progress.update(std::int64_t(bytesRead), std::int64_t(spill.size()), 0);
    }

    static constexpr std::size_t none = std::size_t(-1);
    const TranslationState& state;
    const TextFormat& format;
    std::vector<Partition>& partitions;
    const SpillFile& spill;
    BufferedText& text;
    ProgressLine& progress;
    std::size_t current = std::size_t(-1);
    std::vector<char> data;             // the partition's records, or a streamed block
    std::vector<std::uint64_t> places;  // where each line's record begins in `data`
    std::uint64_t bytesRead = 0;
};

}  // namespace

void translateBounded(std::istream& input, const std::string& inputName, std::ostream& out, const TextFormat& format,
                      const TranslationOptions& options, std::ostream& diagnostics, ProgressLine& progress) {
    const std::uint64_t budget = memoryBudgetOf(options);
    const std::streamoff start = input.rdbuf()->pubseekoff(0, std::ios_base::cur, std::ios_base::in);

    // Pass 1: every check, the points of every path, the longest line.
    TranslationState state;
    PathIndex index;
    std::size_t lineBound = 0;
    {
        progress.setLabel("Pass 1 of 3, indexing");
        ChunkSource source(input);
        indexTrack(source, state, index, diagnostics, &progress, options.strict,
                   [&](const TrackChunk&, const std::vector<LineColumn>& columns) {
                       lineBound = std::max(lineBound, format.pointFormat().lineRoom(columns.data(), columns.size()));
                   });
    }
    progress.clear();
    if (!state.foundSteadyChunk) fail(inputName + " contained only unsteady track chunks.");
    format.check(state);

    // Half the budget holds a partition being written; a quarter the blocks
    // being filled, one per partition.
    std::vector<Partition> partitions = planPartitions(index, lineBound, std::max<std::uint64_t>(budget / 2, 1));
    const std::size_t blockSize = static_cast<std::size_t>(std::min<std::uint64_t>(
        std::size_t(1) << 20, std::max<std::uint64_t>(4096, budget / 4 / std::max<std::size_t>(1, partitions.size()))));
    LineSpill spill(partitions, blockSize);

    // Pass 2: each line formatted once, in file order, into its partition.
    {
        progress.setLabel("Pass 2 of 3, formatting");
        input.clear();
        input.seekg(start);
        ChunkSource source(input);
        TranslationState again;
        WorkQueue queue(options.threads != 0 ? options.threads : defaultThreadCount());
        SliceFormatter formatter(queue, format.pointFormat());
        std::vector<std::uint64_t> outputPoints;
        std::uint64_t placed = 0;
        // The first pass has told of any block that does not parse.
        std::ostringstream toldAlready;
        walkTrack(source, again, toldAlready, options.strict, &progress, [&](TrackChunk& chunk, Group& group) {
            source.readData(chunk);
            checkChunkVariables(again, chunk);
            if (chunk.size <= 0) return;
            const std::size_t g = static_cast<std::size_t>(group.number - 1);
            formatter.add(chunkLines(again, std::move(chunk)), [&, g](FormattedSlice& slice) {
                const ChunkLines& lines = *slice.lines;
                outputPoints.resize(slice.handles.size());
                try {
                    index.placeAll(g, lines.parcels + slice.firstPoint * lines.parcelStride, lines.parcelStride,
                                   outputPoints.size(), outputPoints.data());
                } catch (const std::logic_error&) {
                    failInputChanged();  // a point the first pass did not count
                }
                placed += outputPoints.size();
                for (std::size_t i = 0; i < slice.handles.size(); ++i)
                    spill.add(outputPoints[i], slice.arena.text(slice.handles[i]),
                              slice.arena.lineLength(slice.handles[i]));
            });
        });
        formatter.finish();
        spill.flushAll();
        // Every line has its place only if every counted point came again.
        if (placed != index.pointCount()) failInputChanged();
    }
    progress.clear();

    // Pass 3: the partitions in order, each line in its place.
    progress.setLabel("Pass 3 of 3, writing");
    BufferedText text(out);
    format.writeHeader(text, state);
    PartitionWriter writer(state, format, partitions, spill.file(), text, progress);
    index.forEachPath([&](const PathIndex::Path& path) { writer.write(path); });
    text.flush();
    progress.clear();
}
