// RFC 1123 dates, clock-text durations and a lenient date reader.
#include "core/dates.h"

#include <algorithm>
#include <limits>
#include <string_view>

#include "core/number.h"
#include "core/platform.h"
#include "core/text.h"
#include "core/utc.h"

namespace pf {

const char *const PF_DOW[7] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
const char *const PF_MON[12] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

// Formats by hand, as the scan dates every file and the rendering every
// duration: the C library's formatter costs several times as much. The texts
// are those of "%s, %02lld %s %lld %02lld:%02lld:%02lld GMT", "%lld:%02lld"
// and "%lld:%02lld:%02lld", and far shorter than their arrays.
void fmt_rfc1123(std::int64_t t, char out[kDateCapacity]) {
    CalendarTime f{};
    if (!utc_fields(t, &f)) {
        out[0] = '\0';
        return;
    }
    char *at = std::copy_n(PF_DOW[f.weekday], 3, out);
    *at++ = ',';
    *at++ = ' ';
    at = put_decimal(at, f.day, 2);
    *at++ = ' ';
    at = std::copy_n(PF_MON[f.month], 3, at);
    *at++ = ' ';
    at = put_decimal(at, f.year);
    *at++ = ' ';
    at = put_decimal(at, f.hour, 2);
    *at++ = ':';
    at = put_decimal(at, f.minute, 2);
    *at++ = ':';
    at = put_decimal(at, f.second, 2);
    std::copy_n(" GMT", 5, at);
}

void fmt_duration_local(std::int64_t s, char out[kDurationCapacity]) {
    const std::int64_t v = s < 0 ? 0 : s;
    char *at = out;
    if (v >= 3600) {
        at = put_decimal(at, v / 3600);
        *at++ = ':';
        at = put_decimal(at, v % 3600 / 60, 2);
    } else {
        at = put_decimal(at, v / 60);
    }
    *at++ = ':';
    at = put_decimal(at, v % 60, 2);
    *at = '\0';
}

namespace {

bool is_space(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }
bool is_digit(char c) { return c >= '0' && c <= '9'; }

// Reads "DD Mon YYYY HH:MM:SS" the way a "%d %7s %d %d:%d:%d" scan would,
// but with a digit reader that refuses 32-bit overflow instead of being
// undefined there.
class DateScanner {
public:
    explicit DateScanner(const char *at) : at_(at) {}

    // One "%d": white space, an optional sign, at least one digit.
    bool number(std::int64_t *out) {
        skip_space();
        const char *p = at_;
        const bool negative = *p == '-';
        if (*p == '-' || *p == '+') ++p;
        if (!is_digit(*p)) return false;
        std::int64_t v = 0;
        for (; is_digit(*p); ++p) {
            v = v * 10 + (*p - '0');
            if (v > std::int64_t{std::numeric_limits<std::int32_t>::max()} + negative) {
                overflow_ = true;
                return false;
            }
        }
        at_ = p;
        *out = negative ? -v : v;
        return true;
    }

    // One "%7s": white space, then up to seven bytes that are not.
    bool word(char out[8]) {
        skip_space();
        int n = 0;
        while (n < 7 && at_[n] != '\0' && !is_space(at_[n])) {
            out[n] = at_[n];
            ++n;
        }
        out[n] = '\0';
        at_ += n;
        return n > 0;
    }

    bool literal(char c) {
        if (*at_ != c) return false;
        ++at_;
        return true;
    }

    bool overflowed() const { return overflow_; }

private:
    void skip_space() {
        while (is_space(*at_)) ++at_;
    }

    const char *at_;
    bool overflow_ = false;
};

// Only the first three bytes name the month, so "January" is January too.
int month_index(std::string_view word) {
    if (word.size() < 3) return -1;
    char abbrev[4];
    copy_cut(abbrev, word.substr(0, 3));
    for (int m = 0; m < 12; ++m) {
        if (compare_nocase(abbrev, PF_MON[m]) == 0) return m;
    }
    return -1;
}

// The number of leading fields read, as a scan would count them; -1 when a
// number overflowed.
int scan_date(const char *text, std::int64_t *day, char month[8], std::int64_t *year, std::int64_t time[3]) {
    DateScanner in(text);
    int fields = 0;
    const auto count = [&fields](bool read) {
        fields += read;
        return read;
    };
    (void)(count(in.number(day)) && count(in.word(month)) && count(in.number(year)) &&
           count(in.number(&time[0])) && in.literal(':') && count(in.number(&time[1])) && in.literal(':') &&
           count(in.number(&time[2])));
    return in.overflowed() ? -1 : fields;
}

}  // namespace

int parse_http_date(const char *text, std::int64_t *out) {
    if (!text || !*text) return -1;
    while (*text && !is_digit(*text)) ++text;

    std::int64_t day = 0, year = 0;
    std::int64_t time[3] = {0, 0, 0};  // a date without a time means midnight
    char month[8] = "";
    if (scan_date(text, &day, month, &year, time) < 3) return -1;
    const int m = month_index(month);
    if (m < 0) return -1;

    CalendarTime f{};
    f.year = year;
    f.month = m;
    f.day = day;
    f.hour = time[0];
    f.minute = time[1];
    f.second = time[2];
    *out = utc_seconds(f);
    return *out >= 0 ? 0 : -1;
}

}  // namespace pf
