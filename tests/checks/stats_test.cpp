// Feed statistics from the tables: counts, sizes, newest date, type, title.
#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include "checks_state.h"

namespace {

using pf_test::FeedTest;

struct Ep {
    const char *file;
    const char *pubDate;
    std::int64_t size;
};

void fill_table(const std::vector<Ep> &eps) {
    pf::pf_episode_table &table = pf::s_feed.episodes;
    table.count = 0;
    for (const Ep &ep : eps) {
        pf::pf_episode &e = table[table.count++];
        e = pf::pf_episode{};
        e.file.assign(ep.file);
        e.pubDate.assign(ep.pubDate);
        e.size = ep.size;
    }
}

std::string stats(int episodes, const std::string &total, const std::string &newest, const std::string &type,
                  const std::string &title) {
    return "{\"episodes\":" + std::to_string(episodes) + ",\"total_bytes\":" + total + ",\"newest_pubDate\":\"" +
           newest + "\",\"feed_type\":\"" + type + "\",\"title\":\"" + title + "\"}";
}

constexpr const char *kNov14 = "Tue, 14 Nov 2023 22:13:20 GMT";
constexpr const char *kNov14Short = "14 nov 2023 22:13:20";
constexpr const char *kNov15 = "Wed, 15 Nov 2023 08:00:00 GMT";

TEST_F(FeedTest, StatisticsSummariseTheTable) {
    const std::string max = std::to_string(std::numeric_limits<std::int64_t>::max());
    const struct {
        std::vector<Ep> eps;
        std::string want;
    } cases[] = {
        {{}, stats(0, "0", "", "audio", "")},
        {{{"a.mp3", kNov14, 100}, {"b.mp3", kNov15, 0}, {"c.mp3", "", 5}}, stats(3, "105", kNov15, "audio", "")},
        {{{"a.mp3", kNov14, 1}, {"b.mp3", kNov14Short, 1}}, stats(2, "2", kNov14, "audio", "")},
        {{{"a.mp3", kNov14Short, 1}, {"b.mp3", kNov14, 1}}, stats(2, "2", kNov14Short, "audio", "")},
        {{{"a.mp3", "not a date", 7}, {"b.mp3", "31 Dec 1969 23:59:59 GMT", 8}}, stats(2, "15", "", "audio", "")},
        {{{"a.m4v", "", 0}, {"b.mov", "", 0}, {"c.m4a", "", 0}}, stats(3, "0", "", "audio", "")},
        {{{"a.mp3", "", 0}, {"B.MP4", "", 0}}, stats(2, "0", "", "video", "")},
        {{{".mp4", "", 0}}, stats(1, "0", "", "video", "")},
        {{{"mp4", "", 0}}, stats(1, "0", "", "audio", "")},
        {{{"a.mp3", "", std::numeric_limits<std::int64_t>::max()}, {"b.mp3", "", 1}}, stats(2, max, "", "audio", "")},
    };
    for (const auto &c : cases) {
        fill_table(c.eps);
        EXPECT_EQ(feed_stats_json(), c.want);
    }
}

TEST_F(FeedTest, StatisticsTitleIsTheStoredValueEscaped) {
    fill_table({});
    const struct {
        const char *title;
        const char *written;
    } cases[] = {
        {"Plain", "Plain"},
        {"Say \"hi\" \\ now", "Say \\\"hi\\\" \\\\ now"},
        {"tab\there", "tab\\there"},
        {"", ""},
    };
    for (const auto &c : cases) {
        ASSERT_EQ(feed_channel_set("title", c.title), 0);
        EXPECT_EQ(feed_stats_json(), stats(0, "0", "", "audio", c.written)) << c.title;
    }
}

TEST_F(FeedTest, StatisticsStayCompleteForTheLongestEscapedTitle) {
    fill_table({{"a.mp3", "14 Nov 2023 22:13:20 \"GMT\"", 1}});
    ASSERT_EQ(feed_channel_set("title", std::string(4095, '\x01').c_str()), 0);
    std::string escaped;
    for (int i = 0; i < 4095; ++i) escaped += "\\u0001";
    EXPECT_EQ(feed_stats_json(), stats(1, "1", "14 Nov 2023 22:13:20 \\\"GMT\\\"", "audio", escaped));
}

}  // namespace
