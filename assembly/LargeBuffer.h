#ifndef ASSEMBLY_LARGEBUFFER_H
#define ASSEMBLY_LARGEBUFFER_H

#include <cstddef>
#include <new>

// Memory for the large arrays of a run, mapped on its own and, from a few
// megabytes up, advised to the kernel as huge pages: filling hundreds of
// megabytes of fresh memory in 4 KiB pages costs a fault each, about as
// much as formatting their values. Its bytes start as zeros.
class LargeBuffer {
public:
    LargeBuffer() = default;
    explicit LargeBuffer(std::size_t bytes);
    ~LargeBuffer();
    LargeBuffer(LargeBuffer&& other) noexcept;
    LargeBuffer& operator=(LargeBuffer&& other) noexcept;
    LargeBuffer(const LargeBuffer&) = delete;
    LargeBuffer& operator=(const LargeBuffer&) = delete;

    char* data() const { return bytes; }
    std::size_t size() const { return length; }

private:
    void release();

    char* bytes = nullptr;
    std::size_t length = 0;
};

// Memory as LargeBuffer maps it, for the elements of a std::vector that may
// grow to many megabytes (the tables of the path index); smaller blocks come
// from the heap as usual.
void* allocateLarge(std::size_t bytes);
void releaseLarge(void* block, std::size_t bytes);

template <typename T>
struct LargeAllocator {
    using value_type = T;
    LargeAllocator() = default;
    template <typename U>
    LargeAllocator(const LargeAllocator<U>&) noexcept {}
    T* allocate(std::size_t count) { return static_cast<T*>(allocateLarge(count * sizeof(T))); }
    void deallocate(T* block, std::size_t count) noexcept { releaseLarge(block, count * sizeof(T)); }
    template <typename U>
    bool operator==(const LargeAllocator<U>&) const noexcept {
        return true;
    }
    template <typename U>
    bool operator!=(const LargeAllocator<U>&) const noexcept {
        return false;
    }
};

#endif
