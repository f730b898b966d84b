#ifndef ASSEMBLY_LARGEBUFFER_H
#define ASSEMBLY_LARGEBUFFER_H

#include <cstddef>

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

#endif
