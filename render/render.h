// The RSS document writer and the growing feed buffer every rendering uses.
#pragma once

#include <cstdint>

namespace pf {

struct pf_feed_state;

// feed_build's failures. A larger buffer cures only the first.
constexpr int kBuildOverflow = -1;
constexpr int kBuildOutOfMemory = -2;

// Writes the whole document of st's feed into buffer[capacity]. 0 when it and
// its NUL fit; kBuildOverflow with "feed_build: buffer overflow" set
// otherwise (the buffer then holds the first capacity - 1 bytes of the
// document, and *needed, when asked for, the bytes the whole document needs
// with its NUL, or 0 when that is not known); kBuildOutOfMemory with "out of
// memory" set when an escaped copy of a value could not be made. Stores each
// episode's derived enclosure URL and GUID in its record.
int feed_build(pf_feed_state &st, char *buffer, std::uint64_t capacity, std::uint64_t *needed = nullptr);

// Renders into st's feed buffer, doubling it until the document fits. The
// document (in the buffer, valid until the next rendering), or nullptr with
// the reason set when memory runs out; the old buffer then stays as it was.
const char *render_feed(pf_feed_state &st);

// The feed buffer: a malloc block of capacity bytes, absent (nullptr, 0)
// until the first rendering. It only ever grows and is never released.
struct pf_feed_buffer {
    char *text;
    std::uint64_t capacity;
};

}  // namespace pf
