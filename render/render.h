// The RSS document writer and the growing feed buffer every rendering uses.
#pragma once

#include <cstdint>

namespace pf {

// Writes the whole document into buffer[capacity]. 0 when it and its NUL fit;
// -1 with "feed_build: buffer overflow" set otherwise.
int feed_build(char *buffer, std::uint64_t capacity);

extern char *s_genbuf;
extern std::uint64_t s_gensz;

}  // namespace pf
