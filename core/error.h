// The last-error text: the one way every operation reports why it failed.
#pragma once

#include <cstddef>

#include "core/attributes.h"

namespace pf {

constexpr std::size_t kErrCapacity = 2048;
extern char s_err[kErrCapacity];

// Formats into s_err, cut to 2047 bytes. Arguments may point into s_err itself.
void set_err(const char *fmt, ...) PF_PRINTF_FORMAT(1, 2);

// Sets the message and returns -1, so a failing path reads `return fail(...)`.
int fail(const char *fmt, ...) PF_PRINTF_FORMAT(1, 2);

void clear_err();

}  // namespace pf
