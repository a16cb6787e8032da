// RFC 1123 dates, clock-text durations and lenient date parsing, all in UTC.
#pragma once

#include <cstdint>

namespace pf {

extern const char *const PF_DOW[7];
extern const char *const PF_MON[12];

constexpr int kDateCapacity = 64;
constexpr int kDurationCapacity = 32;

// "Tue, 14 Nov 2023 22:13:20 GMT"; "" outside 1970-01-01 .. 3000-12-31 UTC.
void fmt_rfc1123(std::int64_t t, char out[kDateCapacity]);

// "M:SS" below an hour, "H:MM:SS" from an hour on; "0:00" for negatives.
void fmt_duration_local(std::int64_t s, char out[kDurationCapacity]);

// Reads "[Day, ]DD Mon YYYY[ HH:MM:SS]"; 0 and *out set on success, -1 on
// failure (-1 stored when the date is outside the supported range).
int parse_http_date(const char *text, std::int64_t *out);

}  // namespace pf
