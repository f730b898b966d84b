// The translation in two passes, within a memory budget and on several
// threads: the output is byte for byte the same whatever the budget, the
// thread count or the input, and an input that changes between the passes
// ends with one error, never a crash or misplaced points.

#include <gtest/gtest.h>

#include <sys/resource.h>

#include <csignal>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "RunProgram.h"
#include "TrackTestData.h"
#include "Translation.h"

namespace {

struct Outcome {
    int status;
    std::string out;
    std::string err;
};

Outcome translate(std::istream& input, OutputFormat format = OutputFormat::Zrp, std::uint64_t budget = 0,
                  unsigned threads = 1) {
    std::ostringstream out, err;
    TranslationOptions options;
    options.format = format;
    options.memoryBudget = budget;
    options.threads = threads;
    const int status = translateTrack(input, "in.trk", nullptr, out, err, options).status;
    return {status, out.str(), err.str()};
}

Outcome translate(const std::string& track, bool pipe, OutputFormat format = OutputFormat::Zrp,
                  std::uint64_t budget = 0, unsigned threads = 1) {
    Input input(track, pipe);
    return translate(input.stream, format, budget, threads);
}

// Five groups, chunks of no point, parcel 7 in every chunk of group A, both
// ends of the index range. `distinct` of every 300 points of a chunk have
// parcels of their own; the others share 50 a group.
std::string mixedTrack(int distinct, std::uint32_t parcelShift = 0) {
    std::vector<TestChunk> chunks;
    std::uint32_t spread = 1;
    for (int id = 0; id < 40; ++id) {
        const std::string group(1, static_cast<char>('A' + id % 5));
        std::vector<TestPoint> points;
        for (int i = 0; i < (id % 7 == 3 ? 0 : 300); ++i) {
            spread = spread * 1103515245u + 12345u;
            const std::uint32_t parcel = i == 0   ? 7
                                         : i == 1 ? 0
                                         : i == 2 ? 4294967295u
                                                  : spread % (i < 300 - distinct ? 50 : 4000000000u) + parcelShift;
            points.push_back(
                {parcel, id * 0.5f, i * 0.25f, -1.0f / float(i + 1), 1e-5f * float(i), 300.0 + id + i * 1e-3});
        }
        chunks.push_back(standardChunk(id, group, points));
    }
    return trackText(chunks);
}

const OutputFormat formats[] = {OutputFormat::Zrp, OutputFormat::Csv, OutputFormat::Vtp};

// Many paths in a budget that holds their index but not their points (the
// points through a spill file), and few paths in one so small that the
// partitions' blocks do not fit at once (the second pass in rounds).
TEST(BoundedTranslation, EveryBudgetThreadCountAndInputGivesTheSameBytes) {
    struct Track {
        std::string bytes;
        std::uint64_t smallBudget;
    } tracks[] = {{mixedTrack(20), 160 << 10}, {mixedTrack(0), 32 << 10}};
    struct Case {
        bool pipe;
        bool small;
        unsigned threads;
    } cases[] = {{false, false, 2}, {false, false, 4}, {false, true, 1}, {true, false, 2}, {true, true, 3}};
    for (const Track& track : tracks) {
        for (const OutputFormat format : formats) {
            const Outcome reference = translate(track.bytes, false, format);
            ASSERT_EQ(reference.status, 0) << reference.err;
            for (const Case& c : cases) {
                SCOPED_TRACE(std::string(c.pipe ? "pipe" : "file") + ", budget " +
                             std::to_string(c.small ? track.smallBudget : 0) + ", " + std::to_string(c.threads) +
                             " threads, format " + std::to_string(int(format)));
                const Outcome run = translate(track.bytes, c.pipe, format, c.small ? track.smallBudget : 0, c.threads);
                EXPECT_EQ(run.status, 0);
                EXPECT_EQ(run.err, "");
                EXPECT_TRUE(run.out == reference.out) << "the output differs";
            }
        }
    }
}

// Every fault of the input ends a run within a budget as it ends one
// without: the same message, nothing written.
TEST(BoundedTranslation, FaultsAreReportedWhateverTheBudget) {
    const std::string track = mixedTrack(20);
    TestChunk unknown = standardChunk(99, "A", {{1, 0, 0, 0, 1, 1}});
    descriptorOf(unknown, 2).set("DataType", "float4");
    const std::string faults[] = {
        track.substr(0, track.size() - 5),  // cut inside the last chunk's data
        track + trackText({unknown}),       // a fault after many chunks
        track + "{'x': ",                   // a block cut short at the end: a warning
    };
    for (const std::string& bytes : faults) {
        const Outcome reference = translate(bytes, false);
        for (const bool pipe : {false, true}) {
            const Outcome bounded = translate(bytes, pipe, OutputFormat::Zrp, 160 << 10, 2);
            EXPECT_EQ(bounded.status, reference.status);
            EXPECT_EQ(bounded.err, reference.err);
            EXPECT_EQ(bounded.out, reference.out);
        }
    }
}

// A file that is one track while the first pass reads it and another when
// the next pass starts again from its beginning.
class ChangingFile : public std::streambuf {
public:
    ChangingFile(std::string first, std::string second) : bytes(std::move(first)), next(std::move(second)) {
        setg(&bytes[0], &bytes[0], &bytes[0]);
    }

protected:
    int_type underflow() override {
        const std::size_t at = static_cast<std::size_t>(gptr() - &bytes[0]);
        if (at >= bytes.size()) {
            readToEnd = true;
            return traits_type::eof();
        }
        setg(&bytes[0], gptr(), &bytes[0] + std::min(bytes.size(), at + 4096));
        return traits_type::to_int_type(*gptr());
    }
    pos_type seekoff(off_type offset, std::ios::seekdir direction, std::ios::openmode mode) override {
        const off_type base = direction == std::ios::beg   ? 0
                              : direction == std::ios::end ? off_type(bytes.size())
                                                           : off_type(gptr() - &bytes[0]);
        return seekpos(pos_type(base + offset), mode);
    }
    pos_type seekpos(pos_type position, std::ios::openmode) override {
        if (readToEnd && position == pos_type(0)) {
            bytes = next;
            readToEnd = false;
        }
        char* at = &bytes[0] + std::min<std::size_t>(bytes.size(), static_cast<std::size_t>(position));
        setg(&bytes[0], at, at);
        return position;
    }

private:
    std::string bytes;
    std::string next;
    bool readToEnd = false;
};

// A group whose only chunk has no point in the first pass and one point in
// the second: the same length, another "Size".
std::pair<std::string, std::string> sizeZeroThenOne() {
    TestChunk empty = standardChunk(2, "B", {});
    TestChunk one = standardChunk(2, "B", {{5, 1, 2, 3, 0.5f, 300}});
    std::string before = trackText({standardChunk(1, "A", {{7, 0, 0, 0, 1, 1}}), empty});
    std::string after = trackText({standardChunk(1, "A", {{7, 0, 0, 0, 1, 1}}), one});
    before.resize(after.size(), ' ');
    return {before, after};
}

TEST(BoundedTranslation, AnInputThatChangesBetweenThePassesIsAnError) {
    const std::string track = mixedTrack(20);
    const std::string fewer = trackText({standardChunk(0, "A", {{7, 0, 0, 0, 1, 1}})});
    const auto grown = sizeZeroThenOne();
    // Fewer points, none at all, as many points of other parcels, which the
    // first pass never counted, and a group without points that gains one.
    const std::pair<std::string, std::string> changes[] = {
        {track, fewer}, {track, std::string(track.size(), ' ')}, {track, mixedTrack(20, 1)}, grown};
    for (const auto& change : changes) {
        for (const OutputFormat format : formats) {
            for (const std::uint64_t budget : {std::uint64_t(0), std::uint64_t(160) << 10}) {
                ChangingFile file(change.first, change.second);
                std::istream input(&file);
                const Outcome run = translate(input, format, budget);
                EXPECT_EQ(run.status, 1);
                EXPECT_EQ(run.err, "Error:  the input changed while it was being read.\n");
                EXPECT_EQ(run.out, "");
            }
        }
    }
}

// A spill folder that cannot be written, and a spill file that cannot grow
// (a full disk, played by the file size limit): a clear error, no output,
// no spill file left.
TEST(BoundedTranslation, SpillFilesThatCannotBeWrittenEndTheRun) {
    const std::string track = mixedTrack(20);
    const std::string dir = makeTempDir("spill");
    const char* before = std::getenv("TMPDIR");
    const std::string saved = before != nullptr ? before : "";

    setenv("TMPDIR", (dir + "missing").c_str(), 1);
    const std::string missing =
        "Error:  could not make a spill file in " + dir + "missing: No such file or directory\n";
    // A pipe is kept in a spill file for the second pass, whatever the budget.
    for (const bool pipe : {false, true}) {
        const Outcome run = translate(track, pipe, OutputFormat::Zrp, pipe ? 0 : 160 << 10, 2);
        EXPECT_EQ(run.status, 1);
        EXPECT_EQ(run.err, missing);
        EXPECT_EQ(run.out, "");
    }

    setenv("TMPDIR", dir.c_str(), 1);
    struct rlimit limit;
    getrlimit(RLIMIT_FSIZE, &limit);
    const struct rlimit small = {20000, limit.rlim_max};
    std::signal(SIGXFSZ, SIG_IGN);
    setrlimit(RLIMIT_FSIZE, &small);
    const Outcome run = translate(track, false, OutputFormat::Zrp, 160 << 10, 2);
    setrlimit(RLIMIT_FSIZE, &limit);
    std::signal(SIGXFSZ, SIG_DFL);
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err, "Error:  could not write a spill file in " + dir + ": File too large\n");
    EXPECT_EQ(run.out, "");
    EXPECT_TRUE(filesIn(dir).empty());

    if (before != nullptr)
        setenv("TMPDIR", saved.c_str(), 1);
    else
        unsetenv("TMPDIR");
    removeDir(dir);
}

}  // namespace
