// The last-error text and its exported reader.
#include "core/error.h"

#include <cstdarg>
#include <cstdio>

#include "core/text.h"
#include "quorvane_podcastfeed.h"

namespace pf {

char s_err[kErrCapacity];

namespace {

// One message may embed the previous one (an argument pointing into s_err),
// so the text is formatted aside before it replaces s_err. The few bytes
// beyond the capacity let the cut see whether it would split a character.
void set_err_v(const char *fmt, std::va_list args) {
    char scratch[kErrCapacity + 4];
    const int n = std::vsnprintf(scratch, sizeof scratch, fmt, args);
    if (n < 0) scratch[0] = '\0';
    copy_cut(s_err, view_of(scratch));
}

}  // namespace

void set_err(const char *fmt, ...) {
    std::va_list args;
    va_start(args, fmt);
    set_err_v(fmt, args);
    va_end(args);
}

int fail(const char *fmt, ...) {
    std::va_list args;
    va_start(args, fmt);
    set_err_v(fmt, args);
    va_end(args);
    return -1;
}

void clear_err() { s_err[0] = '\0'; }

}  // namespace pf

extern "C" PF_API const char *feed_last_error(void) { return pf::s_err; }
