// Integer conversions that saturate at the nearest limit instead of being
// undefined when a value leaves the target's range, and the decimal text of
// an integer.
#pragma once

#include <cstddef>
#include <cstdint>

namespace pf {

// Reads a leading decimal integer as atoi does (white space, sign, digits),
// saturating at the 32-bit limits; 0 when there are no digits.
std::int32_t atoi_sat(const char *text);

// double to integer, truncating toward zero, saturating; NaN gives 0.
std::int32_t sat_i32(double v);
std::int64_t sat_i64(double v);

// 64-bit to 32-bit, saturating.
std::int32_t sat_i32(std::int64_t v);

// Room for the decimal text of any 64-bit integer, sign included.
constexpr std::size_t kDecimalCapacity = 20;

// Writes the decimal text of v at at, as "%lld" does, or for a v that is not
// negative as "%0*lld" does with width; returns the end of the text. at has
// room for kDecimalCapacity bytes, or width when that is more. No NUL.
char *put_decimal(char *at, std::int64_t v, int width = 0);

}  // namespace pf
