// The memory budget is the whole run's: many threads, many paths, many tag
// groups and a long string in a key nobody reads each stay within --memory,
// plus the program itself and twice the longest property block.

#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "RunProgram.h"
#include "TrackTestData.h"

namespace {

constexpr long mebibyte = 1024;  // in the kibibytes of ru_maxrss
// The program's own code, libraries and stacks.
constexpr long programCost = 12 * mebibyte;

// The peak resident memory of the program's run, in KiB, and its status.
// A forked child starts out with this process's pages counted: this test
// program stays small.
std::pair<long, int> peakOf(const std::vector<std::string>& args) {
    std::vector<char*> argv;
    std::vector<std::string> all{TRK_TO_ZRP_PATH};
    all.insert(all.end(), args.begin(), args.end());
    for (std::string& arg : all) argv.push_back(&arg[0]);
    argv.push_back(nullptr);
    const pid_t child = fork();
    if (child == 0) {
        freopen("/dev/null", "w", stdout);
        execv(argv[0], argv.data());
        _exit(127);
    }
    int status = 0;
    rusage usage{};
    while (wait4(child, &status, 0, &usage) < 0 && errno == EINTR) {
    }
    return {usage.ru_maxrss, WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status)};
}

// Chunks written one at a time, so that this process never holds the file.
void writeChunks(const std::string& path, int count, const std::function<TestChunk(int)>& chunk) {
    std::ofstream out(path, std::ios::binary);
    TrackWriter writer(out);
    for (int i = 0; i < count; ++i) {
        const TestChunk made = chunk(i);
        writer.writeChunk(made.block, made.data);
    }
}

TEST(MemoryBudget, ManyThreadsPathsGroupsAndALongStringStayWithinIt) {
    const std::string dir = makeTempDir("budget");
    ASSERT_EQ(
        runProgram(TRK_MAKE_PATH, {"--chunks", "20", "--points", "50000", "--parcels", "200000", dir + "threads.trk"})
            .status,
        0);
    ASSERT_EQ(
        runProgram(TRK_MAKE_PATH, {"--chunks", "4", "--points", "100000", "--parcels", "400000", dir + "paths.trk"})
            .status,
        0);
    writeChunks(dir + "groups.trk", 20000, [](int i) {
        return standardChunk(i, "group " + std::to_string(i), {{0, 1, 2, 3, 0.5f, 300}});
    });
    const long stringBytes = 16 << 20;
    writeChunks(dir + "string.trk", 2, [&](int i) {
        TestChunk chunk = standardChunk(i, "A", {{std::uint32_t(i), 1, 2, 3, 0.5f, 300}});
        if (i == 0) chunk.block.set("Comment", std::string(static_cast<std::size_t>(stringBytes), 'x'));
        return chunk;
    });
    const std::string longName(static_cast<std::size_t>(stringBytes), 'n');
    writeChunks(dir + "name.trk", 2, [&](int i) {
        return standardChunk(i, longName, {{std::uint32_t(i), 1, 2, 3, 0.5f, 300}});
    });

    const struct {
        const char* what;
        std::vector<std::string> args;
        long budget;  // MiB
        long beyond;  // KiB the budget may be exceeded by: the program, and twice the longest block
    } cases[] = {
        {"1024 threads, ZRP", {"--threads", "1024", "--memory", "16M", "threads.trk"}, 16, programCost},
        {"1024 threads, CSV",
         {"--threads", "1024", "--memory", "16M", "--format", "csv", "threads.trk"},
         16,
         programCost},
        {"1024 threads, VTP",
         {"--threads", "1024", "--memory", "16M", "--format", "vtp", "threads.trk"},
         16,
         programCost},
        {"1024 threads, VTK HDF",
         {"--threads", "1024", "--memory", "16M", "--format", "vtkhdf", "threads.trk"},
         16,
         programCost},
        {"400,000 paths", {"--memory", "32M", "paths.trk"}, 32, programCost},
        {"20,000 groups", {"--memory", "16M", "groups.trk"}, 16, programCost},
        {"a 16 MiB string in a key nobody reads",
         {"--memory", "16M", "string.trk"},
         16,
         programCost + 2 * stringBytes / 1024},
        // The name is the tag table's, within the budget, and its block's.
        {"a 16 MiB group name", {"--memory", "24M", "name.trk"}, 24, programCost + 2 * stringBytes / 1024},
    };
    for (const auto& c : cases) {
        std::vector<std::string> args = c.args;
        args.back() = dir + args.back();
        args.push_back(dir + "out");
        const auto [peak, status] = peakOf(args);
        EXPECT_EQ(status, 0) << c.what;
        EXPECT_LE(peak, c.budget * mebibyte + c.beyond) << c.what << ": peak KiB";
        std::printf("%-40s peak %6ld KiB, budget %3ld MiB\n", c.what, peak, c.budget);
    }
    removeDir(dir);
}

}  // namespace
