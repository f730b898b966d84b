// Memory follows what a track file really holds: a claim of more data than
// the file has is refused before it is allocated, and many small tag groups
// cost little each.

#include <gtest/gtest.h>

#include <malloc.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <atomic>
#include <cstddef>
#include <cstdlib>
#include <new>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "ChunkSource.h"
#include "RunProgram.h"
#include "TrackTestData.h"
#include "TwoPasses.h"

// Bytes allocated through operator new and not yet released, in this test
// program. The array and sized forms come here through the default ones.
std::atomic<long long> liveBytes{0};

void* operator new(std::size_t size) {
    void* block = std::malloc(size == 0 ? 1 : size);
    if (block == nullptr) throw std::bad_alloc();
    liveBytes += static_cast<long long>(malloc_usable_size(block));
    return block;
}
void operator delete(void* block) noexcept {
    liveBytes -= static_cast<long long>(malloc_usable_size(block));
    std::free(block);
}
void operator delete(void* block, std::size_t) noexcept {
    operator delete(block);
}

namespace {

// A chunk of "Size" 2^27 claims 3.5 GiB of data in a file of a few hundred
// bytes. Even from a pipe, whose length is unknown, the claim is refused
// without allocating it.
TEST(MemoryBounds, OversizedClaimIsRefusedWithoutItsMemory) {
    const std::string dir = makeTempDir("claim");
    std::vector<TestChunk> chunks = referenceChunks("B");
    chunks.resize(1);
    chunks[0].block.set("Size", 1 << 27);
    const std::string bytes = trackText(chunks);
    const std::size_t present = chunks[0].data[0].size() * 7;  // 4 + 12 + 4 + 8 bytes a point
    ASSERT_EQ(mkfifo((dir + "claim.pipe").c_str(), 0600), 0);
    // The writer blocks until the program opens the pipe.
    std::thread writer([&] { writeFile(dir + "claim.pipe", bytes); });
    const ProgramResult result = runProgram(TRK_TO_ZRP_PATH, {dir + "claim.pipe"}, "trk_to_zrp");
    writer.join();
    removeDir(dir);

    EXPECT_EQ(result.status, 1);
    EXPECT_NE(result.err.find("variable 1 (\"Parcel Index\"): the file ends inside its data (536870912 bytes "
                              "declared, " +
                              std::to_string(present) + " present)."),
              std::string::npos)
        << result.err;
    // The largest resident size of the children: an upper bound of the
    // program's, as a spawned child starts out counting this process's own
    // peak (this test comes first, while the test program is still small).
    rusage usage{};
    ASSERT_EQ(getrusage(RUSAGE_CHILDREN, &usage), 0);
    EXPECT_LT(usage.ru_maxrss, 256 * 1024) << "KiB";
}

// 20,000 tag groups of one point each: what the first pass holds after
// reading them must follow their few points, not a large block per group.
TEST(MemoryBounds, ManyTagGroupsCostMemoryByTheirPoints) {
    const int groups = 20000;
    std::ostringstream track;
    TrackWriter writer(track);
    for (int i = 0; i < groups; ++i) {
        const TestChunk chunk = standardChunk(i, "group " + std::to_string(i), {{0, 1, 2, 3, 0.5f, 300}});
        writer.writeChunk(chunk.block, chunk.data);
    }
    std::istringstream input(track.str());
    track.str("");

    const long long before = liveBytes;
    ChunkSource source(input);
    const TrackLayout layout = survey(source, "in.trk", SurveyOptions());
    const long long held = liveBytes - before;
    ASSERT_EQ(layout.groupCount(), static_cast<std::size_t>(groups));
    // A group's name, its lookup and its path; what the layout says it holds
    // is what it holds.
    EXPECT_LT(held / groups, 512) << "bytes held per group";
    EXPECT_LE(held, static_cast<long long>(layout.index.memoryUsed() + layout.groupMemory()));
}

}  // namespace
