#include "LargeBuffer.h"

#include <sys/mman.h>

#include <new>
#include <utility>

namespace {

// Below this a buffer is no larger than a huge page or two.
constexpr std::size_t hugePageWorth = std::size_t(4) << 20;

void* mapLarge(std::size_t size) {
    void* mapped = mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (mapped == MAP_FAILED) throw std::bad_alloc();
    if (size >= hugePageWorth) madvise(mapped, size, MADV_HUGEPAGE);
    return mapped;
}

}  // namespace

void* allocateLarge(std::size_t bytes) {
    if (bytes < hugePageWorth) return ::operator new(bytes);
    return mapLarge(bytes);
}

void releaseLarge(void* block, std::size_t bytes) {
    if (bytes < hugePageWorth)
        ::operator delete(block);
    else
        munmap(block, bytes);
}

LargeBuffer::LargeBuffer(std::size_t size) : length(size) {
    if (size == 0) return;
    bytes = static_cast<char*>(mapLarge(size));
}

LargeBuffer::~LargeBuffer() {
    release();
}

LargeBuffer::LargeBuffer(LargeBuffer&& other) noexcept
    : bytes(std::exchange(other.bytes, nullptr)), length(std::exchange(other.length, 0)) {}

LargeBuffer& LargeBuffer::operator=(LargeBuffer&& other) noexcept {
    if (this != &other) {
        release();
        bytes = std::exchange(other.bytes, nullptr);
        length = std::exchange(other.length, 0);
    }
    return *this;
}

void LargeBuffer::release() {
    if (bytes != nullptr) munmap(bytes, length);
    bytes = nullptr;
    length = 0;
}
