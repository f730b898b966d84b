// The translation in three passes through spill files, and on several
// threads: the output is byte for byte that of the one-pass translation on
// one thread, whatever the budget, the thread count or the input.

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

Outcome translate(const std::string& track, bool pipe, std::uint64_t budget, unsigned threads) {
    Input input(track, pipe);
    std::ostringstream out, err;
    TranslationOptions options;
    options.memoryBudget = budget;
    options.threads = threads;
    const int status = translateTrack(input.stream, "in.trk", nullptr, out, err, options).status;
    return {status, out.str(), err.str()};
}

// Five groups; sparse indexes with both ends of the range; chunks of no
// point; parcel 7 in every chunk of group A, a path longer than a small
// budget; paths of one point.
std::string mixedTrack(std::uint32_t parcelShift = 0) {
    std::vector<TestChunk> chunks;
    std::uint32_t spread = 1;
    for (int id = 0; id < 40; ++id) {
        const std::string group(1, static_cast<char>('A' + id % 5));
        std::vector<TestPoint> points;
        for (int i = 0; i < (id % 7 == 3 ? 0 : 30); ++i) {
            spread = spread * 1103515245u + 12345u;
            const std::uint32_t parcel = i == 0   ? 7
                                         : i == 1 ? 0
                                         : i == 2 ? 4294967295u
                                                  : spread % (i < 20 ? 50 : 4000000000u) + parcelShift;
            points.push_back(
                {parcel, id * 0.5f, i * 0.25f, -1.0f / float(i + 1), 1e-5f * float(i), 300.0 + id + i * 1e-3});
        }
        chunks.push_back(standardChunk(id, group, points));
    }
    return trackText(chunks);
}

TEST(BoundedTranslation, EveryBudgetThreadCountAndInputGivesTheSameBytes) {
    const std::string track = mixedTrack();
    const Outcome reference = translate(track, false, 0, 1);
    ASSERT_EQ(reference.status, 0) << reference.err;
    ASSERT_GT(reference.out.size(), 8 * 4096u);
    struct Case {
        bool pipe;
        std::uint64_t budget;  // 4096: many partitions, path 7 streamed
        unsigned threads;
    } cases[] = {{false, 0, 2}, {false, 0, 4},   {false, 4096, 1}, {false, 4096, 2},   {false, 4096, 4},
                 {true, 0, 2},  {true, 4096, 1}, {true, 4096, 4},  {false, 1 << 20, 3}};
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.pipe ? "pipe" : "file") + ", budget " + std::to_string(c.budget) + ", " +
                     std::to_string(c.threads) + " threads");
        const Outcome run = translate(track, c.pipe, c.budget, c.threads);
        EXPECT_EQ(run.status, 0);
        EXPECT_EQ(run.err, "");
        EXPECT_TRUE(run.out == reference.out) << "the output differs";
    }
}

// Every fault of the input ends the bounded translation as it ends the one
// in memory: the same message, nothing written.
TEST(BoundedTranslation, FaultsAreReportedAsInOnePass) {
    const std::string track = mixedTrack();
    TestChunk unknown = standardChunk(99, "A", {{1, 0, 0, 0, 1, 1}});
    descriptorOf(unknown, 2).set("DataType", "float4");
    const std::string faults[] = {
        track.substr(0, track.size() - 5),  // cut inside the last chunk's data
        track + trackText({unknown}),       // a fault after many chunks
        track + "{'x': ",                   // a block cut short at the end: a warning
    };
    for (const std::string& bytes : faults) {
        const Outcome reference = translate(bytes, false, 0, 1);
        for (const bool pipe : {false, true}) {
            const Outcome bounded = translate(bytes, pipe, 4096, 2);
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

// A file that changes between the passes ends the run with an error, never
// with a crash or an output of points that are not where they belong.
TEST(BoundedTranslation, AnInputThatChangesBetweenThePassesIsAnError) {
    const std::string track = mixedTrack();
    const std::string fewer = trackText({standardChunk(0, "A", {{7, 0, 0, 0, 1, 1}})});
    // Fewer points, none at all, and as many points of other parcels, which
    // the first pass never counted.
    for (const std::string& second : {fewer, std::string(track.size(), ' '), mixedTrack(1)}) {
        ChangingFile file(track, second);
        std::istream input(&file);
        std::ostringstream out, err;
        TranslationOptions options;
        options.memoryBudget = 4096;
        EXPECT_EQ(translateTrack(input, "in.trk", nullptr, out, err, options).status, 1);
        EXPECT_EQ(err.str(), "Error:  the input changed while it was being read.\n");
        EXPECT_EQ(out.str(), "");
    }
}

// A spill folder that cannot be written, and a spill file that cannot grow
// (a full disk, played by the file size limit): a clear error, no output,
// no spill file left.
TEST(BoundedTranslation, SpillFilesThatCannotBeWrittenEndTheRun) {
    const std::string track = mixedTrack();
    const std::string dir = makeTempDir("spill");
    const char* before = std::getenv("TMPDIR");
    const std::string saved = before != nullptr ? before : "";

    setenv("TMPDIR", (dir + "missing").c_str(), 1);
    Outcome run = translate(track, false, 4096, 2);
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err, "Error:  could not make a spill file in " + dir + "missing: No such file or directory\n");
    EXPECT_EQ(run.out, "");
    // A pipe that fits the budget needs no spill file at all.
    EXPECT_EQ(translate(track, true, 0, 2).status, 0);

    setenv("TMPDIR", dir.c_str(), 1);
    struct rlimit limit;
    getrlimit(RLIMIT_FSIZE, &limit);
    const struct rlimit small = {20000, limit.rlim_max};
    std::signal(SIGXFSZ, SIG_IGN);
    setrlimit(RLIMIT_FSIZE, &small);
    run = translate(track, false, 4096, 2);
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
