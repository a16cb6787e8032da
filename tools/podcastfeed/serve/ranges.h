// The Range header of a download: one byte range of a body of known size.
#pragma once

#include <cstdint>

namespace podcastfeed {

struct ByteRange {
    enum Kind { whole, part, unsatisfiable } kind = whole;
    std::int64_t first = 0, length = 0;  // for part
};

// Reads a Range header (null when absent) against a body of size bytes.
// Only a single range of bytes is honoured: several ranges, another unit or a
// malformed header get the whole body, as HTTP lets a server choose.
ByteRange byte_range(const char *header, std::int64_t size);

}  // namespace podcastfeed
