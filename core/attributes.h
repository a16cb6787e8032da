// The compiler attributes the library uses, named once: the code spells the
// macro, so another compiler needs a change here alone.
#pragma once

// Checks a printf-style call's arguments against its format, the format being
// parameter fmt_index and its arguments starting at first_arg (1-based;
// a member function's object counts as parameter 1).
#define PF_PRINTF_FORMAT(fmt_index, first_arg) __attribute__((format(printf, fmt_index, first_arg)))
