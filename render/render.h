// The RSS document writer and the growing feed buffer every rendering uses.
#pragma once

#include <cstdint>

namespace pf {

struct pf_feed_state;

// The feed buffer: a malloc block of capacity bytes, absent (nullptr, 0)
// until the first rendering. It only ever grows and is never released.
struct pf_feed_buffer {
    char *text;
    std::uint64_t capacity;
};

// feed_build's failures.
constexpr int kBuildOverflow = -1;
constexpr int kBuildOutOfMemory = -2;
constexpr int kBuildGrowthFailed = -3;

// Writes the whole document of st's feed into buffer[capacity]. 0 when it and
// its NUL fit; kBuildOverflow with "feed_build: buffer overflow" set
// otherwise (the buffer then holds the first capacity - 1 bytes of the
// document); kBuildOutOfMemory with "out of memory" set when an escaped copy
// of a value could not be made. Stores each episode's derived enclosure URL
// and GUID in its record, up to where the writing ended.
int feed_build(pf_feed_state &st, char *buffer, std::uint64_t capacity);

// The same into the feed buffer (which must hold a block), growing it as the
// document needs, "feed_build: buffer overflow" then set: 0, or
// kBuildOutOfMemory as above, or kBuildGrowthFailed when the buffer could not
// grow far enough (it then holds a prefix of the document).
int feed_build(pf_feed_state &st, pf_feed_buffer &feed);

// Doubles feed's capacity as often as needed bytes ask at once, keeping its
// text. False when memory runs out; the buffer then stays as it was.
bool grow_feed_buffer(pf_feed_buffer &feed, std::uint64_t needed);

// Renders into st's feed buffer. The document (in the buffer, valid until
// the next rendering), or nullptr with the reason set when memory runs out.
const char *render_feed(pf_feed_state &st);

}  // namespace pf
