// Saturating conversions.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "core/number.h"

namespace {
constexpr std::int32_t kMax32 = std::numeric_limits<std::int32_t>::max();
constexpr std::int32_t kMin32 = std::numeric_limits<std::int32_t>::min();
constexpr std::int64_t kMax64 = std::numeric_limits<std::int64_t>::max();
constexpr std::int64_t kMin64 = std::numeric_limits<std::int64_t>::min();
}  // namespace

TEST(AtoiSat, ReadsLikeAtoiAndSaturatesAtTheLimits) {
    const struct {
        const char *text;
        std::int32_t want;
    } cases[] = {
        {"42", 42},
        {"  \t\n-17xyz", -17},
        {"+8", 8},
        {"", 0},
        {"abc", 0},
        {"- 5", 0},
        {"2147483647", kMax32},
        {"2147483648", kMax32},
        {"-2147483648", kMin32},
        {"-2147483649", kMin32},
        {"99999999999999999999999999999", kMax32},
        {"-99999999999999999999999999999", kMin32},
        {"0000000000000000000000000000012", 12},
    };
    for (const auto &c : cases) EXPECT_EQ(pf::atoi_sat(c.text), c.want) << c.text;
    EXPECT_EQ(pf::atoi_sat(nullptr), 0);
}

TEST(SaturatingCasts, TruncateTowardZeroAndClamp) {
    const double inf = std::numeric_limits<double>::infinity();
    const struct {
        double v;
        std::int32_t want32;
        std::int64_t want64;
    } cases[] = {
        {0.0, 0, 0},
        {2.9, 2, 2},
        {-2.9, -2, -2},
        {2147483647.9, kMax32, 2147483647},
        {2147483648.0, kMax32, 2147483648},
        {-2147483648.9, kMin32, -2147483648},
        {-2147483649.0, kMin32, -2147483649},
        {9223372036854775807.0, kMax32, kMax64},  // rounds to 2^63, one past the maximum
        {-9223372036854775808.0, kMin32, kMin64},
        {1e300, kMax32, kMax64},
        {-1e300, kMin32, kMin64},
        {inf, kMax32, kMax64},
        {-inf, kMin32, kMin64},
        {std::nan(""), 0, 0},
    };
    for (const auto &c : cases) {
        EXPECT_EQ(pf::sat_i32(c.v), c.want32) << c.v;
        EXPECT_EQ(pf::sat_i64(c.v), c.want64) << c.v;
    }
    EXPECT_EQ(pf::sat_i32(std::int64_t{5000000000}), kMax32);
    EXPECT_EQ(pf::sat_i32(std::int64_t{-5000000000}), kMin32);
    EXPECT_EQ(pf::sat_i32(std::int64_t{-7}), -7);
}
