// The buffered reading behind the chunk and box walks.
#include "probe/window.h"

#include <algorithm>
#include <cstring>

#include "core/platform.h"

namespace pf {

namespace {

// After a jump only a little is read: the next header is often a long way
// on (past a media data box), and what lies between is never wanted. Each
// read that continues in order reads twice as much, up to the whole buffer,
// so a file of nothing but small headers costs few reads.
constexpr std::size_t kFirstRead = 4096;
constexpr std::size_t kCapacity = 64 * 1024;
alignas(4096) unsigned char s_buffer[kCapacity];

}  // namespace

ByteWindow::ByteWindow(std::FILE *f) : f_(f), buf_(s_buffer) {}

const unsigned char *ByteWindow::read_at(std::int64_t pos, std::size_t n) {
    if (n > kMaxSpan || pos < 0) return nullptr;
    while (pos < base_ || static_cast<std::uint64_t>(pos - base_) + n > len_)
        if (!fill(pos)) return nullptr;
    return buf_ + (pos - base_);
}

bool ByteWindow::fill(std::int64_t pos) {
    const std::int64_t end = base_ + static_cast<std::int64_t>(len_);
    if (placed_ && pos >= base_ && pos - end < static_cast<std::int64_t>(read_size_)) {
        // In order: keep what is held from pos on and read on from where the
        // stream stands; a short gap is read through rather than sought over.
        const std::int64_t from = std::min(pos, end);
        const auto keep = static_cast<std::size_t>(end - from);
        std::memmove(buf_, buf_ + (from - base_), keep);
        base_ = from;
        len_ = keep;
        read_size_ = std::min(read_size_ * 2, kCapacity);
    } else {
        placed_ = seek64(f_, pos, SEEK_SET) == 0;
        if (!placed_) return false;
        base_ = pos;
        len_ = 0;
        read_size_ = kFirstRead;
    }
    const std::size_t got = std::fread(buf_ + len_, 1, std::min(read_size_, kCapacity - len_), f_);
    len_ += got;
    return got > 0;
}

}  // namespace pf
