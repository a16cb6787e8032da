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
// A file up to this length is read whole by its first read: one call, where
// a small first read and a jump to a header near the end would be two. For
// longer files copying the media data between costs more than the call it
// saves.
constexpr std::int64_t kWholeFileRead = 12 * 1024;
static_assert(kWholeFileRead <= static_cast<std::int64_t>(kCapacity));
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

FileSource::FileSource(const ReadHandle &file, std::int64_t length) : ByteSource(kWindow, 0, length), file_(file) {}

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
    if (!read_yet_ && length_ <= kWholeFileRead) {
        base_ = 0;
        read_size_ = kCapacity;
    } else if (pos >= base_ && pos - end < static_cast<std::int64_t>(read_size_)) {
        // In order: keep what is held from pos on (less than one span) and
        // read on from where the last read ended; a short gap is read
        // through, as the reads in order grow.
        const std::int64_t from = std::min(pos, end);
        keep = static_cast<std::size_t>(end - from);
        std::memmove(kWindow - keep, data_ + (from - base_), keep);
        base_ = from;
        read_size_ = std::min(read_size_ * 2, kCapacity);
    } else {
        base_ = pos;
        read_size_ = in_order_ ? kCapacity : kFirstRead;
    }
    read_yet_ = true;
    data_ = kWindow - keep;
    held_ = keep;
    // Nothing past the length is read: the last read ends at the end of the
    // file, and no further call is needed to learn that it has. at is below
    // the length, as the span asked for lies before it.
    const std::int64_t at = base_ + static_cast<std::int64_t>(keep);
    const std::int64_t until =
        std::min({page_floor(at + static_cast<std::int64_t>(read_size_ + kPage - 1)),
                  page_floor(at + static_cast<std::int64_t>(kCapacity)), length_});
    const std::int64_t got = file_.read_at(at, kWindow, static_cast<std::size_t>(until - at));
    if (got <= 0) return false;
    held_ += static_cast<std::size_t>(got);
    return true;
}

}  // namespace pf
