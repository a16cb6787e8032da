// The validator's scans on hand-written documents: tag balance and items.
#include <gtest/gtest.h>

#include <string>

#include "checks/scans.h"

namespace {

TEST(TagBalance, CountsOnlyRssChannelAndItemAndNeedsEveryConstructClosed) {
    const std::string long_attribute(400, 'a');
    const struct {
        std::string text;
        bool balanced;
    } cases[] = {
        {"", true},
        {"<?xml version=\"1.0\"?>\n<rss><channel><item></item></channel></rss>", true},
        {"<rss><channel><item></item></channel>", false},
        {"<rss></item><item></rss>", false},
        {"<rss><!-- never closed </rss>", false},
        {"<rss><!-- </rss> --></rss>", true},
        {"<?xml version=\"1.0\"<rss></rss>", false},
        {"<rss></rss><", false},
        {"<rss></rss", false},
        {"<rss a=\"x></rss>", false},
        {"<rss><channel a=\"x>y\" b='>'></channel></rss>", true},
        {"<rss><channel/></rss>", true},
        {"<rss><channel /></rss>", true},
        {"<rss><item id=\"1\"/></rss>", true},
        {"<rss><item / ></rss>", true},
        {"<rss><channel a=\"" + long_attribute + "\"/></rss>", true},
        {"<rss><x:item></item></rss>", true},
        {"<rss><x:item></rss>", false},
        {"<rss></item ></rss>", false},
        {"<rss><item\nid=\"1\"></item></rss>", false},
        {"<rss><title></title><link/></rss>", true},
        {"<rss><></rss>", false},
        {"<rss></></rss>", false},
    };
    for (const auto &c : cases) EXPECT_EQ(pf::tags_balance(c.text), c.balanced) << c.text;
}

const std::string kEnclosure = "<enclosure url=\"u\" type=\"audio/mpeg\" length=\"11\" />";

// One item as the feed writer lays it out.
std::string item(const std::string &enclosure = kEnclosure,
                 const std::string &guid = "<guid isPermaLink=\"false\">g</guid>",
                 const std::string &date = "<pubDate>Tue, 14 Nov 2023 22:13:20 GMT</pubDate>",
                 const std::string &duration = "<itunes:duration>2:05</itunes:duration>") {
    return "<item>\n<title>t</title>\n" + enclosure + "\n" + guid + "\n" + date + "\n" + duration + "\n</item>\n";
}

struct Flags {
    bool enclosure, length, type, guid, pub_date, duration;
    int items;
};

void expect_scan(const std::string &text, int episodes, const Flags &want) {
    const pf::ItemScan got = pf::scan_items(text, episodes);
    EXPECT_EQ(got.enclosure, want.enclosure) << text;
    EXPECT_EQ(got.length, want.length) << text;
    EXPECT_EQ(got.type, want.type) << text;
    EXPECT_EQ(got.guid, want.guid) << text;
    EXPECT_EQ(got.pub_date, want.pub_date) << text;
    EXPECT_EQ(got.duration, want.duration) << text;
    EXPECT_EQ(got.items, want.items) << text;
}

TEST(ItemScan, EachItemRuleFailsOnlyForItsOwnFault) {
    const struct {
        std::string text;
        int episodes;
        Flags want;
    } cases[] = {
        {"<channel></channel>", 0, {true, true, true, true, true, true, 0}},
        {item() + item(), 2, {true, true, true, true, true, true, 2}},
        {item(""), 1, {false, true, true, true, true, true, 1}},
        {item("<enclosure url=\"u\" type=\"audio/mpeg\" length=\"\" />"), 1, {true, false, true, true, true, true, 1}},
        {item("<enclosure url=\"u\" type=\"audio/mpeg\" />"), 1, {true, false, true, true, true, true, 1}},
        {item("<enclosure url=\"u\" type=\"\" length=\"1\" />"), 1, {true, true, true, true, true, true, 1}},
        {"<item><enclosure url=\"u\" type=\"mp3\" length=\"1\"></item>", 1,
         {true, true, false, false, false, false, 1}},
        {item("<enclosure url=\"u\" length=\"1\">"), 1, {true, true, false, true, true, true, 1}},
        {item(), 1, {true, true, true, true, true, true, 1}},
        {item(kEnclosure, "<guid isPermaLink=\"true\">g</guid>"), 1, {true, true, true, false, true, true, 1}},
        {item(kEnclosure, "<guid>g</guid>", "<pubdate>d</pubdate>"), 1, {true, true, true, false, false, true, 1}},
        {item(), 3, {false, true, true, true, true, true, 1}},
        {item() + item(), 0, {true, true, true, true, true, true, 2}},
        {item() + "<item><enclosure ", 1, {false, true, true, true, true, true, 1}},
    };
    for (const auto &c : cases) expect_scan(c.text, c.episodes, c.want);
}

TEST(ItemScan, DurationNeedsAColonBeforeTheNextTag) {
    const struct {
        const char *duration;
        bool ok;
    } cases[] = {
        {"<itunes:duration>2:05</itunes:duration>", true},
        {"<itunes:duration>1:00:00</itunes:duration>", true},
        {"<itunes:duration>125</itunes:duration>", false},
        {"<itunes:duration></itunes:duration>", false},
        {"<itunes:duration>125", false},
        {"", false},
    };
    for (const auto &c : cases) {
        const std::string text = item(kEnclosure, "<guid isPermaLink=\"false\">g</guid>", "<pubDate>d</pubDate>",
                                      c.duration);
        EXPECT_EQ(pf::scan_items(text, 1).duration, c.ok) << c.duration;
    }
}

TEST(ItemScan, ExaminesLongItemsWhole) {
    const std::string title = "<title>" + std::string(20000, 't') + "</title>\n";
    const std::string text = "<item>\n" + title +
                             "<enclosure url=\"u\" type=\"audio/mpeg\" length=\"11\" />\n"
                             "<guid isPermaLink=\"false\">g</guid>\n<pubDate>d</pubDate>\n"
                             "<itunes:duration>2:05</itunes:duration>\n</item>";
    expect_scan(text, 1, {true, true, true, true, true, true, 1});
}

TEST(ItemScan, AStrayClosingTagEndsNoItem) {
    expect_scan("</item>" + item(), 1, {true, true, true, true, true, true, 1});
}

}  // namespace
