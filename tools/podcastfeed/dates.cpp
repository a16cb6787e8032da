// Publication dates in the two forms a podcaster meets.
#include "dates.h"

#include <array>
#include <cctype>
#include <charconv>
#include <chrono>

namespace podcastfeed {
namespace {

constexpr std::array<std::string_view, 12> kMonths = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                                      "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
constexpr std::array<std::string_view, 7> kWeekdays = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};

// A cursor over the text that reads exactly what a form asks for.
struct Cursor {
    std::string_view s;
    bool ok = true;

    int digits(std::size_t min, std::size_t max) {
        std::size_t n = 0;
        while (n < max && n < s.size() && std::isdigit(static_cast<unsigned char>(s[n]))) ++n;
        if (n < min) {
            ok = false;
            return 0;
        }
        int v = 0;
        std::from_chars(s.data(), s.data() + n, v);
        s.remove_prefix(n);
        return v;
    }
    bool take(char c) {
        if (!s.empty() && s[0] == c) {
            s.remove_prefix(1);
            return true;
        }
        return false;
    }
    void expect(char c) { ok = ok && take(c); }
    void spaces() {
        while (!s.empty() && s[0] == ' ') s.remove_prefix(1);
    }
};

bool same_letters(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

std::optional<std::int64_t> to_seconds(int y, int mo, int d, int h, int mi, int sec, int zone_minutes) {
    using namespace std::chrono;
    const year_month_day ymd{year{y}, month{static_cast<unsigned>(mo)}, day{static_cast<unsigned>(d)}};
    if (!ymd.ok() || h > 23 || mi > 59 || sec > 60) return std::nullopt;
    const std::int64_t days = sys_days{ymd}.time_since_epoch().count();
    return days * 86400 + h * 3600 + mi * 60 + sec - zone_minutes * 60;
}

// "GMT", "UT", "UTC", "Z", "+hhmm" or "+hh:mm", in minutes east of UTC.
std::optional<int> read_zone(Cursor &c) {
    if (c.s.empty()) return std::nullopt;
    if (c.take('Z')) return 0;
    if (same_letters(c.s, "GMT") || same_letters(c.s, "UT") || same_letters(c.s, "UTC")) {
        c.s = {};
        return 0;
    }
    const char sign = c.s[0];
    if (sign != '+' && sign != '-') return std::nullopt;
    c.s.remove_prefix(1);
    const int hh = c.digits(2, 2);
    c.take(':');
    const int mm = c.digits(2, 2);
    if (!c.ok || hh > 23 || mm > 59) return std::nullopt;
    return (sign == '-' ? -1 : 1) * (hh * 60 + mm);
}

}  // namespace

std::optional<std::int64_t> parse_rfc1123(std::string_view text) {
    Cursor c{text};
    c.spaces();
    if (const auto comma = c.s.find(','); comma != std::string_view::npos && comma <= 3) {
        c.s.remove_prefix(comma + 1);
        c.spaces();
    }
    const int d = c.digits(1, 2);
    c.spaces();
    if (c.s.size() < 3) return std::nullopt;
    int mo = 0;
    for (std::size_t i = 0; i < kMonths.size(); ++i)
        if (same_letters(c.s.substr(0, 3), kMonths[i])) mo = static_cast<int>(i) + 1;
    if (mo == 0) return std::nullopt;
    c.s.remove_prefix(3);
    c.spaces();
    const int y = c.digits(4, 4);
    c.spaces();
    const int h = c.digits(2, 2);
    c.expect(':');
    const int mi = c.digits(2, 2);
    const int sec = c.take(':') ? c.digits(2, 2) : 0;
    c.spaces();
    const auto zone = read_zone(c);
    if (!c.ok || !zone || !c.s.empty()) return std::nullopt;
    return to_seconds(y, mo, d, h, mi, sec, *zone);
}

std::optional<std::int64_t> parse_iso8601(std::string_view text) {
    Cursor c{text};
    const int y = c.digits(4, 4);
    c.expect('-');
    const int mo = c.digits(2, 2);
    c.expect('-');
    const int d = c.digits(2, 2);
    if (!c.ok) return std::nullopt;
    if (c.s.empty()) return to_seconds(y, mo, d, 0, 0, 0, 0);
    if (!c.take('T') && !c.take('t') && !c.take(' ')) return std::nullopt;
    const int h = c.digits(2, 2);
    c.expect(':');
    const int mi = c.digits(2, 2);
    const int sec = c.take(':') ? c.digits(2, 2) : 0;
    if (c.take('.') || c.take(',')) c.digits(1, 9);
    const auto zone = read_zone(c);
    if (!c.ok || !zone || !c.s.empty()) return std::nullopt;
    return to_seconds(y, mo, d, h, mi, sec, *zone);
}

std::optional<std::int64_t> parse_pub_date(std::string_view text) {
    if (auto t = parse_iso8601(text)) return t;
    return parse_rfc1123(text);
}

std::string format_rfc1123(std::int64_t seconds) {
    using namespace std::chrono;
    const std::int64_t day_count = seconds >= 0 ? seconds / 86400 : (seconds - 86399) / 86400;
    const std::int64_t in_day = seconds - day_count * 86400;
    const sys_days days{std::chrono::days{day_count}};
    const year_month_day ymd{days};
    const weekday wd{days};
    auto two = [](std::int64_t v) { return std::string(v < 10 ? "0" : "") + std::to_string(v); };
    return std::string(kWeekdays[wd.c_encoding()]) + ", " + two(static_cast<unsigned>(ymd.day())) + " " +
           std::string(kMonths[static_cast<unsigned>(ymd.month()) - 1]) + " " +
           std::to_string(static_cast<int>(ymd.year())) + " " + two(in_day / 3600) + ":" + two(in_day / 60 % 60) +
           ":" + two(in_day % 60) + " GMT";
}

}  // namespace podcastfeed
