// The last-error text: the one way every operation reports why it failed.
#pragma once

#include <cstddef>

namespace pf {

constexpr std::size_t kErrCapacity = 2048;
extern char s_err[kErrCapacity];

// Formats into s_err, cut to 2047 bytes. Arguments may point into s_err itself.
void set_err(const char *fmt, ...) __attribute__((format(printf, 1, 2)));

// Sets the message and returns -1, so a failing path reads `return fail(...)`.
int fail(const char *fmt, ...) __attribute__((format(printf, 1, 2)));

void clear_err();

}  // namespace pf
