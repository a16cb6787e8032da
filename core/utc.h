// UTC calendar conversions with one range on every platform: 1970-01-01
// 00:00:00 to 3000-12-31 23:59:59, as the Windows runtime's 64-bit calls.
#pragma once

#include <cstdint>

namespace pf {

struct CalendarTime {
    std::int64_t year;   // full year, e.g. 2023
    std::int64_t month;  // 0-11 on output; any value on input (normalised)
    std::int64_t day;    // 1-31 on output; any value on input
    std::int64_t hour, minute, second;
    int weekday;         // 0 = Sunday; output only
};

constexpr std::int64_t kUtcMax = 32535215999;  // 3000-12-31 23:59:59

// Seconds to fields; false for t < 0 or t > kUtcMax.
bool utc_fields(std::int64_t t, CalendarTime *out);

// Fields to seconds, out-of-range fields normalised linearly; -1 when the
// result is before 1970 or after kUtcMax.
std::int64_t utc_seconds(const CalendarTime &fields);

}  // namespace pf
