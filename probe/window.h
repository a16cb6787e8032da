// A stream read through one buffer, for the readers that walk chunk and box
// headers: a walk over many small headers costs a read per buffer instead of
// a call per header, and a jump far ahead costs one small read.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>

namespace pf {

class ByteWindow {
public:
    // The most bytes one bytes_at call serves.
    static constexpr std::size_t kMaxSpan = 64;

    // The library is not reentrant and a reader keeps one window open at a
    // time, so every window shares one buffer.
    explicit ByteWindow(std::FILE *f);

    // The n bytes (at most kMaxSpan) at pos, or nullptr when fewer than n can
    // be read there. The bytes stay valid until the next call. Inline, as a
    // walk over small headers finds nearly all of them in the buffer.
    const unsigned char *bytes_at(std::int64_t pos, std::size_t n) {
        if (pos >= base_ && static_cast<std::uint64_t>(pos - base_) + n <= len_) return buf_ + (pos - base_);
        return read_at(pos, n);
    }

private:
    const unsigned char *read_at(std::int64_t pos, std::size_t n);
    bool fill(std::int64_t pos);

    std::FILE *f_;
    unsigned char *buf_;
    std::int64_t base_ = 0;     // file position of the buffer's first byte
    std::size_t len_ = 0;       // bytes held from there on
    std::size_t read_size_ = 0; // of the next read; grows while the walk stays in order
    bool placed_ = false;       // the stream stands at base_ + len_
};

}  // namespace pf
