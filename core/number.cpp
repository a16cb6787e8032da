// Saturating integer conversions: out-of-range values clamp to the nearest
// limit, where the C library's conversions are undefined.
#include "core/number.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>

namespace pf {

namespace {

template <typename Int>
Int saturate(double v) {
    if (std::isnan(v)) return 0;
    // 2^(digits) is exact in a double, unlike the integer maximum itself.
    const double top = std::ldexp(1.0, std::numeric_limits<Int>::digits);
    if (v >= top) return std::numeric_limits<Int>::max();
    if (v <= -top) return std::numeric_limits<Int>::min();
    return static_cast<Int>(v);
}

bool is_space(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

}  // namespace

std::int32_t sat_i32(std::int64_t v) {
    if (v > std::numeric_limits<std::int32_t>::max()) return std::numeric_limits<std::int32_t>::max();
    if (v < std::numeric_limits<std::int32_t>::min()) return std::numeric_limits<std::int32_t>::min();
    return static_cast<std::int32_t>(v);
}

std::int32_t atoi_sat(const char *text) {
    if (!text) return 0;
    while (is_space(*text)) ++text;
    const bool negative = *text == '-';
    if (*text == '-' || *text == '+') ++text;
    // Stops growing once past every 32-bit value, so no digit run overflows.
    std::int64_t value = 0;
    constexpr std::int64_t kBeyond = std::int64_t{1} << 32;
    for (; *text >= '0' && *text <= '9'; ++text) {
        if (value < kBeyond) value = value * 10 + (*text - '0');
    }
    return sat_i32(negative ? -value : value);
}

std::int32_t sat_i32(double v) { return saturate<std::int32_t>(v); }

std::int64_t sat_i64(double v) { return saturate<std::int64_t>(v); }

char *put_decimal(char *at, std::int64_t v, int width) {
    char digits[kDecimalCapacity];
    const std::to_chars_result r = std::to_chars(digits, digits + sizeof digits, v);
    const auto length = static_cast<int>(r.ptr - digits);
    if (width > length) at = std::fill_n(at, width - length, '0');
    return std::copy(digits, r.ptr, at);
}

}  // namespace pf
