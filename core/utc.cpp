// UTC calendar arithmetic in portable code, so every platform shares one range
// (1970-01-01 00:00:00 to 3000-12-31 23:59:59) and one normalisation rule.
#include "core/utc.h"

namespace pf {

namespace {

// Wide enough that no combination of 64-bit fields overflows on the way.
__extension__ typedef __int128 Wide;

constexpr std::int64_t kSecondsPerDay = 86400;

Wide floor_div(Wide a, Wide b) { return a / b - ((a % b != 0) && ((a < 0) != (b < 0))); }

// Days from 1970-01-01 to the first day of a proleptic Gregorian month
// (month 1-12), counting eras of 400 years from 0000-03-01.
Wide days_from_civil(Wide year, Wide month) {
    year -= month <= 2;
    const Wide era = floor_div(year, 400);
    const Wide year_of_era = year - era * 400;
    const Wide day_of_year = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5;
    const Wide day_of_era = year_of_era * 365 + year_of_era / 4 - year_of_era / 100 + day_of_year;
    return era * 146097 + day_of_era - 719468;
}

}  // namespace

bool utc_fields(std::int64_t t, CalendarTime *out) {
    if (t < 0 || t > kUtcMax) return false;
    const std::int64_t days = t / kSecondsPerDay;
    const std::int64_t secs = t % kSecondsPerDay;

    const std::int64_t z = days + 719468;
    const std::int64_t era = z / 146097;
    const std::int64_t day_of_era = z - era * 146097;
    const std::int64_t year_of_era = (day_of_era - day_of_era / 1460 + day_of_era / 36524 - day_of_era / 146096) / 365;
    const std::int64_t day_of_year = day_of_era - (365 * year_of_era + year_of_era / 4 - year_of_era / 100);
    const std::int64_t mp = (5 * day_of_year + 2) / 153;
    const std::int64_t month = mp < 10 ? mp + 3 : mp - 9;

    out->year = year_of_era + era * 400 + (month <= 2);
    out->month = month - 1;
    out->day = day_of_year - (153 * mp + 2) / 5 + 1;
    out->hour = secs / 3600;
    out->minute = secs % 3600 / 60;
    out->second = secs % 60;
    out->weekday = static_cast<int>((days + 4) % 7);  // 1970-01-01 was a Thursday
    return true;
}

std::int64_t utc_seconds(const CalendarTime &f) {
    const Wide year = Wide{f.year} + floor_div(f.month, 12);
    const Wide month = f.month - floor_div(f.month, 12) * 12 + 1;
    const Wide days = days_from_civil(year, month) + (Wide{f.day} - 1);
    const Wide t = days * kSecondsPerDay + Wide{f.hour} * 3600 + Wide{f.minute} * 60 + f.second;
    if (t < 0 || t > kUtcMax) return -1;
    return static_cast<std::int64_t>(t);
}

}  // namespace pf
