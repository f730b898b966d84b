// Memory follows what a track file really holds: a claim of more data than
// the file has is refused before it is allocated, and many small tag groups
// cost little each.

#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <new>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "Assembly.h"
#include "RunProgram.h"
#include "TrackReader.h"
#include "TrackTestData.h"

namespace {

// Bytes allocated through operator new and not yet released, in this test
// program. Each block carries its size in a header in front of it.
std::atomic<long long> liveBytes{0};
constexpr std::size_t header = alignof(std::max_align_t);

void* allocate(std::size_t size) {
    void* block = std::malloc(size + header);
    if (block == nullptr) throw std::bad_alloc();
    *static_cast<std::size_t*>(block) = size;
    liveBytes += static_cast<long long>(size);
    return static_cast<char*>(block) + header;
}

void release(void* pointer) noexcept {
    if (pointer == nullptr) return;
    void* block = static_cast<char*>(pointer) - header;
    liveBytes -= static_cast<long long>(*static_cast<std::size_t*>(block));
    std::free(block);
}

}  // namespace

void* operator new(std::size_t size) { return allocate(size); }
void* operator new[](std::size_t size) { return allocate(size); }
void operator delete(void* pointer) noexcept { release(pointer); }
void operator delete[](void* pointer) noexcept { release(pointer); }
void operator delete(void* pointer, std::size_t) noexcept { release(pointer); }
void operator delete[](void* pointer, std::size_t) noexcept { release(pointer); }

namespace {

// A chunk of "Size" 2^27 claims 3.5 GiB of data in a file of a few hundred
// bytes. From a file or a pipe, the claim is refused without allocating it.
TEST(MemoryBounds, OversizedClaimIsRefusedWithoutItsMemory) {
    std::string pattern = ::testing::TempDir() + "claim-XXXXXX";
    ASSERT_NE(mkdtemp(&pattern[0]), nullptr);
    const std::string filePath = pattern + "/claim.trk";
    const std::string pipePath = pattern + "/claim.pipe";

    std::vector<TestChunk> chunks = referenceChunks("B");
    chunks.resize(1);
    chunks[0].block.set("Size", 1 << 27);
    const std::string bytes = trackText(chunks);
    std::size_t present = 0;
    for (const std::vector<char>& data : chunks[0].data) present += data.size();
    std::ofstream(filePath, std::ios::binary) << bytes;
    ASSERT_EQ(mkfifo(pipePath.c_str(), 0600), 0);
    // The writer blocks until the program opens the pipe.
    std::thread writer([&] { std::ofstream(pipePath, std::ios::binary) << bytes; });
    const ProgramResult fromPipe = runProgram(TRK_TO_ZRP_PATH, {pipePath}, "trk_to_zrp");
    writer.join();
    const ProgramResult fromFile = runProgram(TRK_TO_ZRP_PATH, {filePath}, "trk_to_zrp");
    std::remove(filePath.c_str());
    std::remove(pipePath.c_str());
    rmdir(pattern.c_str());

    for (const ProgramResult& result : {fromPipe, fromFile}) {
        EXPECT_EQ(result.status, 1);
        EXPECT_NE(result.err.find("variable 1 (\"Parcel Index\"): the file ends inside its data (536870912 bytes "
                                  "declared, " + std::to_string(present) + " present)."),
                  std::string::npos)
            << result.err;
        EXPECT_EQ(result.out, "");
    }
    // The largest resident size of the children this test waited for. A
    // child started by posix_spawn starts out counting this process's own
    // peak, so the figure is an upper bound of the program's; this test
    // comes first so that the test program is still small.
    rusage usage{};
    ASSERT_EQ(getrusage(RUSAGE_CHILDREN, &usage), 0);
    RecordProperty("peak_child_rss_kib", static_cast<int>(usage.ru_maxrss));
    EXPECT_LT(usage.ru_maxrss, 256 * 1024) << "KiB";
}

// 20,000 tag groups of one point each: what the translation holds after
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
    TranslationState state;
    std::ostringstream diagnostics;
    readTrackFile(input, state, diagnostics);
    const long long held = liveBytes - before;
    ASSERT_EQ(state.groups.size(), static_cast<std::size_t>(groups)) << diagnostics.str();
    RecordProperty("bytes_per_group", static_cast<int>(held / groups));
    // A group's name, its table entries and one point line of about 30
    // characters; a megabyte-sized block per group would be 20 GB.
    EXPECT_LT(held / groups, 2048) << "bytes held per group";
}

}  // namespace
