#include "MemoryBudget.h"

#include <unistd.h>

#include <algorithm>
#include <thread>

#include "TrackLayout.h"

namespace {

// A sixteenth of the budget, within bounds: the budgets below a megabyte
// that tests use get pieces to match.
std::uint64_t share(std::uint64_t bytes, std::uint64_t least, std::uint64_t most) {
    return std::clamp<std::uint64_t>(bytes / 16, least, most);
}

// Left for the points at the least.
std::uint64_t minimumPointRoom(std::uint64_t bytes) {
    return share(bytes, 256, 64 << 10);
}

// A thread's own stack and heap, besides the text it formats.
std::uint64_t threadOverhead(std::uint64_t bytes) {
    return share(bytes, 256, 128 << 10);
}

std::uint64_t physicalMemory() {
    const long pages = sysconf(_SC_PHYS_PAGES);
    const long pageSize = sysconf(_SC_PAGE_SIZE);
    if (pages <= 0 || pageSize <= 0) return std::uint64_t(2) << 30;
    return std::uint64_t(pages) * std::uint64_t(pageSize);
}

std::uint64_t threadCost(const MemoryBudget& budget) {
    // Two pieces of text a thread are in flight.
    return 2 * budget.textPieceBytes + threadOverhead(budget.bytes);
}

}  // namespace

std::uint64_t MemoryBudget::workingMemory() const {
    // The data of a piece as read, and again as rows or places.
    return 2 * std::uint64_t(pieceBytes) + threads * threadCost(*this);
}

std::uint64_t MemoryBudget::indexLimit() const {
    const std::uint64_t reserved = workingMemory() + minimumPointRoom(bytes);
    return bytes > reserved ? bytes - reserved : 1;
}

std::uint64_t MemoryBudget::pointRoom(const TrackLayout& layout) const {
    const std::uint64_t held = workingMemory() + layout.index.memoryUsed() + layout.groupMemory();
    return std::max(bytes > held ? bytes - held : 0, minimumPointRoom(bytes));
}

MemoryBudget resolveBudget(std::uint64_t bytes, unsigned threads) {
    MemoryBudget budget;
    budget.bytes = bytes != 0 ? bytes : std::max(minimumMemoryBudget, physicalMemory() / 2);
    budget.pieceBytes = static_cast<std::size_t>(share(budget.bytes, 256, 1 << 20));
    budget.textPieceBytes = static_cast<std::size_t>(share(budget.bytes, 256, 512 << 10));
    if (threads == 0) threads = std::max(1u, std::thread::hardware_concurrency());
    // A quarter of the budget at most goes to the threads' text.
    const std::uint64_t affordable = std::max<std::uint64_t>(1, budget.bytes / 4 / threadCost(budget));
    budget.threads = static_cast<unsigned>(std::min<std::uint64_t>(threads, affordable));
    return budget;
}
