#include "CountingBuffer.h"

CountingBuffer::int_type CountingBuffer::underflow() {
    const int_type next = source->sbumpc();
    if (traits_type::eq_int_type(next, traits_type::eof())) return next;
    current = traits_type::to_char_type(next);
    ++fetched;
    passed(&current, 1);
    setg(&current, &current, &current + 1);
    return next;
}

std::streamsize CountingBuffer::xsgetn(char* out, std::streamsize count) {
    std::streamsize done = 0;
    if (count > 0 && gptr() < egptr()) {
        *out = *gptr();
        gbump(1);
        done = 1;
    }
    const std::streamsize read = source->sgetn(out + done, count - done);
    if (read <= 0) return done;
    fetched += static_cast<std::uint64_t>(read);
    passed(out + done, static_cast<std::size_t>(read));
    return done + read;
}

CountingBuffer::pos_type CountingBuffer::seekoff(off_type offset, std::ios_base::seekdir direction,
                                                 std::ios_base::openmode mode) {
    if (direction == std::ios_base::cur) return seekpos(pos_type(off_type(consumed()) + offset), mode);
    const pos_type position = source->pubseekoff(offset, direction, std::ios_base::in);
    if (position != pos_type(off_type(-1))) {
        fetched = static_cast<std::uint64_t>(off_type(position));
        setg(nullptr, nullptr, nullptr);
    }
    return position;
}

CountingBuffer::pos_type CountingBuffer::seekpos(pos_type position, std::ios_base::openmode) {
    const pos_type reached = source->pubseekpos(position, std::ios_base::in);
    if (reached != pos_type(off_type(-1))) {
        fetched = static_cast<std::uint64_t>(off_type(reached));
        setg(nullptr, nullptr, nullptr);
    }
    return reached;
}
