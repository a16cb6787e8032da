// Calendar conversions, RFC 1123 dates, clock-text durations and date parsing.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <limits>
#include <string>

#include "core/dates.h"
#include "core/utc.h"

namespace {

std::string rfc1123(std::int64_t t) {
    char out[pf::kDateCapacity];
    std::memset(out, '#', sizeof out);
    pf::fmt_rfc1123(t, out);
    return out;
}

std::string duration(std::int64_t s) {
    char out[pf::kDurationCapacity];
    pf::fmt_duration_local(s, out);
    return out;
}

pf::CalendarTime fields(std::int64_t y, std::int64_t mon, std::int64_t d, std::int64_t h = 0, std::int64_t mi = 0,
                        std::int64_t s = 0) {
    return pf::CalendarTime{y, mon, d, h, mi, s, 0};
}

}  // namespace

TEST(Rfc1123, FormatsUtcWithinTheSupportedRange) {
    const struct {
        std::int64_t t;
        const char *want;
    } cases[] = {
        {0, "Thu, 01 Jan 1970 00:00:00 GMT"},
        {1700000000, "Tue, 14 Nov 2023 22:13:20 GMT"},
        {951782400, "Tue, 29 Feb 2000 00:00:00 GMT"},
        {4107542399, "Sun, 28 Feb 2100 23:59:59 GMT"},
        {4107542400, "Mon, 01 Mar 2100 00:00:00 GMT"},  // 2100 is no leap year
        {pf::kUtcMax, "Wed, 31 Dec 3000 23:59:59 GMT"},
        {-1, ""},
        {pf::kUtcMax + 1, ""},
        {std::numeric_limits<std::int64_t>::min(), ""},
        {std::numeric_limits<std::int64_t>::max(), ""},
    };
    for (const auto &c : cases) EXPECT_EQ(rfc1123(c.t), c.want) << c.t;
}

TEST(UtcFields, RoundTripsEveryDayAcrossLeapYearsAndCenturies) {
    // Every midnight of 1970 to 2400 plus odd seconds: fields back to seconds.
    for (std::int64_t t = 0; t < 13569465600; t += 86400 * 7 + 3727) {
        pf::CalendarTime f{};
        ASSERT_TRUE(pf::utc_fields(t, &f)) << t;
        ASSERT_EQ(pf::utc_seconds(f), t) << t;
        ASSERT_EQ(f.weekday, (t / 86400 + 4) % 7) << t;
    }
}

TEST(UtcSeconds, NormalisesOutOfRangeFieldsLinearly) {
    const struct {
        pf::CalendarTime f;
        std::int64_t want;
    } cases[] = {
        {fields(1970, 0, 1), 0},
        {fields(2023, 10, 14, 22, 13, 20), 1700000000},
        {fields(2023, 10, 31), 1701388800},         // 31 Nov is 1 Dec
        {fields(2022, 22, 14, 22, 13, 20), 1700000000},  // month 22 of 2022 is Nov 2023
        {fields(2024, -2, 14, 22, 13, 20), 1700000000},  // month -2 of 2024 likewise
        {fields(2023, 10, 15, -2, 13, 20), 1700000000},
        {fields(1970, 0, 1, 0, 0, -1), -1},              // before 1970
        {fields(1969, 11, 31, 23, 59, 59), -1},
        {fields(3000, 11, 31, 23, 59, 59), pf::kUtcMax},
        {fields(3001, 0, 1), -1},
        {fields(std::numeric_limits<std::int64_t>::max(), std::numeric_limits<std::int64_t>::max(),
                std::numeric_limits<std::int64_t>::max(), std::numeric_limits<std::int64_t>::max(), 0, 0),
         -1},
        {fields(std::numeric_limits<std::int64_t>::min(), std::numeric_limits<std::int64_t>::min(), 1), -1},
    };
    for (const auto &c : cases)
        EXPECT_EQ(pf::utc_seconds(c.f), c.want) << c.f.year << "-" << c.f.month << "-" << c.f.day;
}

TEST(Duration, WritesMinutesOrHoursAsClockText) {
    const struct {
        std::int64_t s;
        const char *want;
    } cases[] = {
        {0, "0:00"},          {59, "0:59"},        {61, "1:01"},           {3599, "59:59"},
        {3600, "1:00:00"},    {3661, "1:01:01"},   {86400, "24:00:00"},    {360000, "100:00:00"},
        {-1, "0:00"},         {std::numeric_limits<std::int64_t>::min(), "0:00"},
        {std::numeric_limits<std::int64_t>::max(), "2562047788015215:30:07"},
    };
    for (const auto &c : cases) EXPECT_EQ(duration(c.s), c.want) << c.s;
}

TEST(ParseHttpDate, ReadsRfc1123AndLenientForms) {
    const struct {
        const char *text;
        std::int64_t want;
    } cases[] = {
        {"Tue, 14 Nov 2023 22:13:20 GMT", 1700000000},
        {"14 nov 2023 22:13:20", 1700000000},
        {"14 October 2023 22:13:20", 1697321600},
        {"14 Nov 2023 22:13:20 +0200", 1700000000},  // the zone is ignored
        {"  14   Nov\t2023  22:13:20", 1700000000},
        {"14 Nov 2023", 1699920000},                 // no time: midnight
        {"14 Nov 2023 22", 1699999200},
        {"14 Nov 2023 22:13", 1700000000 - 20},
        {"31 Nov 2023", 1701388800},                 // normalised, not range-checked
        {"Thu, 01 Jan 1970 00:00:00 GMT", 0},
        {"Wed, 31 Dec 3000 23:59:59 GMT", pf::kUtcMax},
    };
    for (const auto &c : cases) {
        std::int64_t t = 12345;
        EXPECT_EQ(pf::parse_http_date(c.text, &t), 0) << c.text;
        EXPECT_EQ(t, c.want) << c.text;
    }
}

TEST(ParseHttpDate, FailsWithoutStoringOnUnreadableText) {
    const char *const cases[] = {
        "",
        "no digits here",
        "14 Foo 2023",
        "14 Nov",
        "14 November 2023 22:13:20",
        "14 September 2023",
        "14 NOVEMBRE 2023",
        "14 No 2023",
        "14Nov2023",
        "4294967310 Nov 2023",                  // day overflows 32 bits
        "14 Nov 99999999999",                   // year overflows 32 bits
        "14 Nov 2023 10:10:99999999999999999",  // a late field overflowing still fails
    };
    for (const char *text : cases) {
        std::int64_t t = 12345;
        EXPECT_EQ(pf::parse_http_date(text, &t), -1) << text;
        EXPECT_EQ(t, 12345) << text;
    }
    std::int64_t t = 0;
    EXPECT_EQ(pf::parse_http_date(nullptr, &t), -1);
}

TEST(ParseHttpDate, StoresMinusOneForDatesOutsideTheRange) {
    const char *const cases[] = {
        "31 Dec 1969 23:59:59 GMT",
        "01 Jan 3001 00:00:00 GMT",
        "1 Jan 2147483647 2147483647:2147483647:2147483647",
        "1 Jan -2147483648 -2147483648:0:0",
    };
    for (const char *text : cases) {
        std::int64_t t = 12345;
        EXPECT_EQ(pf::parse_http_date(text, &t), -1) << text;
        EXPECT_EQ(t, -1) << text;
    }
}
