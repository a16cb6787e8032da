// The buffered reading of a file behind the chunk, box and frame walks.
#include "probe/source.h"

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
constexpr std::size_t kCapacity = 128 * 1024;
// Reads end on a page boundary of the file, so that the reads in order after
// them start on one and land on a page-aligned buffer: such reads copy out of
// the page cache fastest. The bytes of a span cut by the end of the buffer
// are carried in front of it, within one page that keeps it aligned.
constexpr std::size_t kPage = 4096;
static_assert(ByteSource::kMaxSpan < kPage);
alignas(kPage) unsigned char s_buffer[kPage + kCapacity];
unsigned char *const kWindow = s_buffer + kPage;

std::int64_t page_floor(std::int64_t pos) { return pos - pos % static_cast<std::int64_t>(kPage); }

}  // namespace

// A stream nothing has been read from stands at the start.
FileSource::FileSource(std::FILE *f, std::int64_t length) : ByteSource(kWindow, 0, length), f_(f), placed_(true) {
    std::setvbuf(f, nullptr, _IONBF, 0);
}

void FileSource::reading_in_order() {
    in_order_ = true;
    read_size_ = kCapacity;
}

const unsigned char *FileSource::fetch(std::int64_t pos, std::size_t n) {
    // Bytes past the length are not there, so asking for them costs no call.
    if (n > kMaxSpan || pos < 0 || pos > length_ - static_cast<std::int64_t>(n)) return nullptr;
    while (pos < base_ || static_cast<std::uint64_t>(pos - base_) + n > held_)
        if (!fill(pos)) return nullptr;
    return data_ + (pos - base_);
}

bool FileSource::fill(std::int64_t pos) {
    const std::int64_t end = base_ + static_cast<std::int64_t>(held_);
    std::size_t keep = 0;
    if (placed_ && pos >= base_ && pos - end < static_cast<std::int64_t>(read_size_)) {
        // In order: keep what is held from pos on (less than one span) and
        // read on from where the stream stands; a short gap is read through
        // rather than sought over.
        const std::int64_t from = std::min(pos, end);
        keep = static_cast<std::size_t>(end - from);
        std::memmove(kWindow - keep, data_ + (from - base_), keep);
        base_ = from;
        read_size_ = std::min(read_size_ * 2, kCapacity);
    } else {
        // A jump; none is needed to where the stream stands.
        if (!placed_ || pos != end) placed_ = seek64(f_, pos, SEEK_SET) == 0;
        if (!placed_) return false;
        base_ = pos;
        read_size_ = in_order_ ? kCapacity : kFirstRead;
    }
    data_ = kWindow - keep;
    held_ = keep;
    // Nothing past the length is read: the last read ends at the end of the
    // file, and no further call is needed to learn that it has. at is below
    // the length, as the span asked for lies before it.
    const std::int64_t at = base_ + static_cast<std::int64_t>(keep);
    const std::int64_t until =
        std::min({page_floor(at + static_cast<std::int64_t>(read_size_ + kPage - 1)),
                  page_floor(at + static_cast<std::int64_t>(kCapacity)), length_});
    const std::size_t got = std::fread(kWindow, 1, static_cast<std::size_t>(until - at), f_);
    held_ += got;
    return got > 0;
}

}  // namespace pf
