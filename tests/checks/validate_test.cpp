// Validation of rendered feeds rule by rule, and the JSON report of it.
#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>
#include <vector>

#include "checks_state.h"

namespace {

using pf_test::FeedTest;
using pf_test::replace_once;

struct RuleText {
    const char *rule;
    const char *passed;
    const char *failed;
};

// Every rule in order, with the detail it carries each way (one episode).
const RuleText kRules[] = {
    {"xml_generated", "ok", "generation failed"},
    {"xml_wellformed", "tag balance check", "tag balance check"},
    {"rss_root", "ok", "missing rss 2.0 root"},
    {"itunes_ns", "ok", "missing itunes namespace"},
    {"atom_self_link", "ok", "missing atom self link"},
    {"channel_present", "ok", "missing channel"},
    {"<title>", "channel required tag", "channel required tag"},
    {"<link>", "channel required tag", "channel required tag"},
    {"<description>", "channel required tag", "channel required tag"},
    {"<language>", "channel required tag", "channel required tag"},
    {"<lastBuildDate>", "channel required tag", "channel required tag"},
    {"itunes_category", "ok", "missing itunes:category"},
    {"itunes_explicit", "ok", "missing itunes:explicit"},
    {"itunes_image", "ok", "missing itunes:image (channel art)"},
    {"itunes_duration", "ok", "episodes lack itunes:duration"},
    {"enclosure_present", "every item has <enclosure>", "every item has <enclosure>"},
    {"enclosure_length", "length attr present and non-empty", "length attr present and non-empty"},
    {"enclosure_type", "type attr is a mime type", "type attr is a mime type"},
    {"guid_present", "every item has isPermaLink=false guid", "every item has isPermaLink=false guid"},
    {"pubdate_present", "every item has pubDate", "every item has pubDate"},
    {"duration_format", "H:MM:SS or M:SS", "H:MM:SS or M:SS"},
};

// Checks the recorded table: every rule in order, failed exactly when named.
void expect_outcomes(const std::set<std::string> &failing, const std::string &context) {
    ASSERT_EQ(pf::s_feed.rules.count, 21) << context;
    for (int i = 0; i < 21; ++i) {
        const RuleText &want = kRules[i];
        const pf::pf_rule &got = pf::s_feed.rules.rules[i];
        const bool ok = !failing.contains(want.rule);
        EXPECT_STREQ(got.rule, want.rule) << context;
        EXPECT_EQ(got.ok, ok ? 1 : 0) << want.rule << " / " << context;
        EXPECT_STREQ(got.detail, ok ? want.passed : want.failed) << want.rule << " / " << context;
    }
}

std::string replace_all(std::string text, const std::string &from, const std::string &to) {
    for (std::size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size()))
        text.replace(at, from.size(), to);
    return text;
}

TEST_F(FeedTest, RenderedFeedPassesEveryRule) {
    add_episode("one.mp3");
    add_episode("two.mp3").duration_s = 3600;
    EXPECT_EQ(feed_validate(), 0);
    expect_outcomes({}, "rendered feed");
}

TEST_F(FeedTest, EachRuleFailsWithItsDetailWhenItsElementIsSpoilt) {
    add_episode("one.mp3");
    const std::string doc = feed_generate();
    const struct {
        std::string doc;
        std::set<std::string> failing;
    } cases[] = {
        {replace_once(doc, "  </channel>", ""), {"xml_wellformed"}},
        {replace_once(doc, "<rss version=\"2.0\"", "<rss version=\"0.92\""), {"rss_root"}},
        {replace_once(doc, "xmlns:itunes", "xmlns:podcast"), {"itunes_ns"}},
        {replace_once(doc, "xmlns:atom", "xmlns:a"), {"atom_self_link"}},
        {replace_once(doc, "<atom:link", "<atom:lnk"), {"atom_self_link"}},
        {replace_once(doc, "<channel>", "<channel >"), {"channel_present"}},
        {replace_all(doc, "<title>", "<title >"), {"<title>"}},
        {replace_once(doc, "<link>", "<link >"), {"<link>"}},
        {replace_once(doc, "<description>", "<description >"), {"<description>"}},
        {replace_once(doc, "<language>", "<language >"), {"<language>"}},
        {replace_once(doc, "<lastBuildDate>", "<lastBuildDate >"), {"<lastBuildDate>"}},
        {replace_once(doc, "<itunes:category", "<itunes:genre"), {"itunes_category"}},
        {replace_all(doc, "<itunes:explicit>", "<itunes:explicit >"), {"itunes_explicit"}},
        {replace_once(doc, "<itunes:image", "<itunes:picture"), {"itunes_image"}},
        {replace_once(doc, "<itunes:duration>", "<itunes:duration >"), {"itunes_duration", "duration_format"}},
        {replace_once(doc, "<enclosure ", "<media "), {"enclosure_present"}},
        {replace_once(doc, "length=\"11\"", "length=\"\""), {"enclosure_length"}},
        {replace_once(doc, "type=\"audio/mpeg\"", "mime=\"audio/mpeg\""), {"enclosure_type"}},
        {replace_once(doc, "isPermaLink=\"false\"", "isPermaLink=\"true\""), {"guid_present"}},
        {replace_once(doc, "<pubDate>", "<pubDate >"), {"pubdate_present"}},
        {replace_once(doc, "<itunes:duration>2:05", "<itunes:duration>125"), {"duration_format"}},
        {replace_once(doc, "    </item>\n", ""), {"enclosure_present", "xml_wellformed"}},
    };
    for (const auto &c : cases) {
        EXPECT_EQ(pf::validate_text(pf::s_feed.rules, c.doc, 1), 1) << c.doc;
        expect_outcomes(c.failing, c.doc);
    }
}

TEST_F(FeedTest, ItemCountMustMatchTheEpisodeCount) {
    add_episode("one.mp3");
    const std::string doc = feed_generate();
    EXPECT_EQ(pf::validate_text(pf::s_feed.rules, doc, 2), 1);
    expect_outcomes({"enclosure_present"}, doc);
}

TEST_F(FeedTest, FeedWithoutEpisodesPasses) {
    EXPECT_EQ(feed_validate(), 0);
    ASSERT_EQ(pf::s_feed.rules.count, 21);
    EXPECT_STREQ(pf::s_feed.rules.rules[14].detail, "ok");
    EXPECT_STREQ(pf::s_feed.rules.rules[15].rule, "enclosure_present");
    EXPECT_STREQ(pf::s_feed.rules.rules[15].detail, "no episodes");
    for (int i = 0; i < 21; ++i) EXPECT_EQ(pf::s_feed.rules.rules[i].ok, 1) << pf::s_feed.rules.rules[i].rule;
}

TEST_F(FeedTest, EpisodeWithoutItsFileLacksOnlyTheEnclosure) {
    add_episode("one.mp3").file.assign(path("missing.mp3"));
    EXPECT_EQ(feed_validate(), 1);
    expect_outcomes({"enclosure_present"}, "missing file");
    EXPECT_STREQ(feed_last_error(), "");
}

TEST_F(FeedTest, EmptyMimeStillPassesTheTypeRule) {
    add_episode("one.mp3").mime.assign("");
    EXPECT_EQ(feed_validate(), 0);
    expect_outcomes({}, "empty mime");
}

TEST_F(FeedTest, LongEscapedTextsPassEveryRule) {
    pf::pf_episode &e = add_episode("one.mp3");
    e.title.assign(std::string(1023, '&'));
    e.url.assign("http://h/" + std::string(4086, 'u'));
    e.guid.assign(std::string(2047, '<'));
    e.url_explicit = 1;
    ASSERT_GT(std::string(feed_generate()).size(), 16000u);
    EXPECT_EQ(feed_validate(), 0);
    expect_outcomes({}, "long texts");
}

const char kPassingReport[] =
    "[{\"rule\":\"xml_generated\",\"ok\":true,\"detail\":\"ok\"},"
    "{\"rule\":\"xml_wellformed\",\"ok\":true,\"detail\":\"tag balance check\"},"
    "{\"rule\":\"rss_root\",\"ok\":true,\"detail\":\"ok\"},"
    "{\"rule\":\"itunes_ns\",\"ok\":true,\"detail\":\"ok\"},"
    "{\"rule\":\"atom_self_link\",\"ok\":true,\"detail\":\"ok\"},"
    "{\"rule\":\"channel_present\",\"ok\":true,\"detail\":\"ok\"},"
    "{\"rule\":\"<title>\",\"ok\":true,\"detail\":\"channel required tag\"},"
    "{\"rule\":\"<link>\",\"ok\":true,\"detail\":\"channel required tag\"},"
    "{\"rule\":\"<description>\",\"ok\":true,\"detail\":\"channel required tag\"},"
    "{\"rule\":\"<language>\",\"ok\":true,\"detail\":\"channel required tag\"},"
    "{\"rule\":\"<lastBuildDate>\",\"ok\":true,\"detail\":\"channel required tag\"},"
    "{\"rule\":\"itunes_category\",\"ok\":true,\"detail\":\"ok\"},"
    "{\"rule\":\"itunes_explicit\",\"ok\":true,\"detail\":\"ok\"},"
    "{\"rule\":\"itunes_image\",\"ok\":true,\"detail\":\"ok\"},"
    "{\"rule\":\"itunes_duration\",\"ok\":true,\"detail\":\"ok\"},"
    "{\"rule\":\"enclosure_present\",\"ok\":true,\"detail\":\"every item has <enclosure>\"},"
    "{\"rule\":\"enclosure_length\",\"ok\":true,\"detail\":\"length attr present and non-empty\"},"
    "{\"rule\":\"enclosure_type\",\"ok\":true,\"detail\":\"type attr is a mime type\"},"
    "{\"rule\":\"guid_present\",\"ok\":true,\"detail\":\"every item has isPermaLink=false guid\"},"
    "{\"rule\":\"pubdate_present\",\"ok\":true,\"detail\":\"every item has pubDate\"},"
    "{\"rule\":\"duration_format\",\"ok\":true,\"detail\":\"H:MM:SS or M:SS\"}]";

TEST_F(FeedTest, ReportListsEveryRuleAsCompactJson) {
    add_episode("one.mp3");
    EXPECT_STREQ(feed_validate_report_json(), kPassingReport);
    EXPECT_STREQ(feed_validate_report_json(), kPassingReport);
}

TEST_F(FeedTest, ReportMarksTheFailedRuleOnly) {
    add_episode("one.mp3").file.assign(path("missing.mp3"));
    const std::string want = replace_once(kPassingReport, "\"enclosure_present\",\"ok\":true",
                                          "\"enclosure_present\",\"ok\":false");
    EXPECT_EQ(feed_validate_report_json(), want);
}

}  // namespace
