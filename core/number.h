// Integer conversions that saturate at the nearest limit instead of being
// undefined when a value leaves the target's range.
#pragma once

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

}  // namespace pf
