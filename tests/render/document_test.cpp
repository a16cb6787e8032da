// The feed document byte for byte: channel defaults and values, items and
// their optional lines, escaping, and what a buffer that is too small holds.
#include <string>

#include "core/dates.h"
#include "core/platform.h"
#include "tests/render/render_state.h"

namespace pf_test {
namespace {

using DocumentTest = RenderTest;

// The channel head as a feed with no channel values shows it, up to the
// build date.
std::string default_head(const std::string &build_date) {
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
           "<rss version=\"2.0\" \n"
           "  xmlns:itunes=\"http://www.itunes.com/dtds/podcast-1.0.dtd\"\n"
           "  xmlns:atom=\"http://www.w3.org/2005/Atom\">\n"
           "  <channel>\n"
           "    <title>My Music</title>\n"
           "    <link></link>\n"
           "    <description>Personal audio playlist</description>\n"
           "    <language>en</language>\n"
           "    <lastBuildDate>" +
           build_date +
           "</lastBuildDate>\n"
           "    <atom:link href=\"/feed.xml\" rel=\"self\" type=\"application/rss+xml\" />\n"
           "    <itunes:author>My Music</itunes:author>\n"
           "    <itunes:image href=\"" PF_DEFAULT_ARTWORK_URL "\" />\n"
           "    <itunes:summary>Personal audio playlist</itunes:summary>\n"
           "    <itunes:category text=\"Music\" />\n"
           "    <itunes:explicit>false</itunes:explicit>\n"
           "    <itunes:type>episodic</itunes:type>\n";
}

constexpr const char *kClose = "  </channel>\n</rss>";

// The items of a document: everything between the channel head and the end.
std::string items_of(const std::string &document) {
    const std::string head_end = "<itunes:type>episodic</itunes:type>\n";
    const std::size_t from = document.find(head_end) + head_end.size();
    const std::size_t to = document.rfind(kClose);
    return document.substr(from, to - from);
}

std::string formatted_date(std::int64_t t) {
    char text[pf::kDateCapacity];
    pf::fmt_rfc1123(t, text);
    return text;
}

TEST_F(DocumentTest, EmptyFeedUsesEveryDefaultAndTheCurrentTime) {
    const std::int64_t before = pf::now_utc();
    const std::string document = build_document();
    const std::int64_t after = pf::now_utc();
    const std::string expected_before = default_head(formatted_date(before)) + kClose;
    const std::string expected_after = default_head(formatted_date(after)) + kClose;
    EXPECT_TRUE(document == expected_before || document == expected_after) << document;
}

TEST_F(DocumentTest, EmptyChannelValueReadsAsMissing) {
    for (const char *key : {"title", "description", "language", "author", "artwork", "category", "explicit"})
        ASSERT_EQ(feed_channel_set(key, ""), 0) << key;
    ASSERT_EQ(feed_channel_set("lastBuildDate", kBuildDate), 0);
    EXPECT_EQ(build_document(), default_head(kBuildDate) + kClose);
}

TEST_F(DocumentTest, EveryChannelTextIsEscapedAndUsedVerbatim) {
    const std::string s = kSpecial, e = kEscaped;
    const struct {
        const char *key;
        std::string value;
    } values[] = {
        {"title", "T" + s},     {"description", "D" + s}, {"language", "L" + s},
        {"lastBuildDate", "B" + s}, {"author", "A" + s},  {"artwork", "W" + s},
        {"category", "C" + s},  {"explicit", "yes" + s},
    };
    for (const auto &v : values) ASSERT_EQ(feed_channel_set(v.key, v.value.c_str()), 0) << v.key;
    ASSERT_EQ(feed_url_base(("https://h/U" + s).c_str(), nullptr), 0);

    const std::string expected =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        "<rss version=\"2.0\" \n"
        "  xmlns:itunes=\"http://www.itunes.com/dtds/podcast-1.0.dtd\"\n"
        "  xmlns:atom=\"http://www.w3.org/2005/Atom\">\n"
        "  <channel>\n"
        "    <title>T" + e + "</title>\n"
        "    <link>https://h/U" + e + "</link>\n"
        "    <description>D" + e + "</description>\n"
        "    <language>L" + e + "</language>\n"
        "    <lastBuildDate>B" + e + "</lastBuildDate>\n"
        "    <atom:link href=\"https://h/U" + e + "/feed.xml\" rel=\"self\" type=\"application/rss+xml\" />\n"
        "    <itunes:author>A" + e + "</itunes:author>\n"
        "    <itunes:image href=\"W" + e + "\" />\n"
        "    <itunes:summary>D" + e + "</itunes:summary>\n"
        "    <itunes:category text=\"C" + e + "\" />\n"
        "    <itunes:explicit>yes" + e + "</itunes:explicit>\n"
        "    <itunes:type>episodic</itunes:type>\n"
        "  </channel>\n</rss>";
    EXPECT_EQ(build_document(), expected);
}

// Only printable ASCII may be taken over without escaping: every other byte
// is left to the escaping rules.
TEST_F(DocumentTest, TextsBeyondPrintableAsciiAreEscapedToo) {
    const struct {
        const char *stored, *shown;
    } cases[] = {
        {"plain text ~", "plain text ~"},
        {"caf\xC3\xA9", "caf\xC3\xA9"},
        {"a\x01" "b", "ab"},
        {"bad \xFF byte", "bad \xEF\xBF\xBD byte"},
        {"tab\tand line\nfeed", "tab\tand line\nfeed"},
    };
    for (const auto &c : cases) {
        pf::reset_feed_state(pf::s_feed);
        add_episode("/no/such/file.mp3").title.assign(c.stored);
        ASSERT_EQ(feed_channel_set("title", c.stored), 0);
        const std::string document = build_document();
        EXPECT_NE(document.find(std::string("    <title>") + c.shown + "</title>\n"), std::string::npos) << c.stored;
        EXPECT_NE(document.find(std::string("      <title>") + c.shown + "</title>\n"), std::string::npos) << c.stored;
    }
}

TEST_F(DocumentTest, SelfLinkAppendsToTheBaseUrlAsGiven) {
    ASSERT_EQ(feed_url_base("https://h/show/", nullptr), 0);
    const std::string document = build_document();
    EXPECT_NE(document.find("    <link>https://h/show/</link>\n"), std::string::npos);
    EXPECT_NE(document.find("<atom:link href=\"https://h/show//feed.xml\" rel=\"self\""), std::string::npos);
}

TEST_F(DocumentTest, ItemWithEveryLineEscapesEveryHostText) {
    ASSERT_EQ(feed_channel_set("lastBuildDate", kBuildDate), 0);
    const std::string s = kSpecial, e = kEscaped;
    pf::pf_episode &ep = add_episode("/no/such/folder/f.mp3");
    ep.title.assign("t" + s);
    ep.url.assign("https://h/u" + s);
    ep.url_explicit = 1;
    ep.guid.assign("g" + s);
    ep.pubDate.assign("p" + s);
    ep.image.assign("i" + s);
    ep.author.assign("a" + s);
    ep.mime.assign("audio/mpeg");
    ep.size = 1234;
    ep.duration_s = 59;
    // Fields the item does not carry.
    ep.description.assign("not rendered");
    ep.keywords.assign("not rendered");
    ep.episode = 3;
    ep.season = 2;
    ep.block = 1;

    const std::string expected = default_head(kBuildDate) +
                                 "    <item>\n"
                                 "      <title>t" + e + "</title>\n"
                                 "      <enclosure url=\"https://h/u" + e + "\" type=\"audio/mpeg\" length=\"1234\" />\n"
                                 "      <guid isPermaLink=\"false\">g" + e + "</guid>\n"
                                 "      <pubDate>p" + e + "</pubDate>\n"
                                 "      <itunes:duration>0:59</itunes:duration>\n"
                                 "      <itunes:explicit>false</itunes:explicit>\n"
                                 "      <itunes:image href=\"i" + e + "\" />\n"
                                 "      <itunes:author>a" + e + "</itunes:author>\n"
                                 "    </item>\n" +
                                 kClose;
    EXPECT_EQ(build_document(), expected);
}

TEST_F(DocumentTest, EnclosureNeedsAHostUrlOrAFileThatCanBeExamined) {
    const std::string present = write("present.mp3", "ten bytes!");
    const std::string missing = dir() + "/missing.mp3";
    const struct {
        const char *name;
        std::string file;
        int url_explicit;
        const char *url;
        const char *mime;
        std::string expected;
    } cases[] = {
        {"present file, stored size not the file's", present, 0, "", "audio/mpeg",
         "    <item>\n"
         "      <title></title>\n"
         "      <enclosure url=\"" + present + "\" type=\"audio/mpeg\" length=\"777\" />\n"
         "      <guid isPermaLink=\"false\">" + present + "</guid>\n"
         "      <pubDate></pubDate>\n"
         "      <itunes:duration>1:00:00</itunes:duration>\n"
         "      <itunes:explicit>false</itunes:explicit>\n"
         "    </item>\n"},
        {"missing file", missing, 0, "", "audio/mpeg",
         "    <item>\n"
         "      <title></title>\n"
         "      <guid isPermaLink=\"false\">" + missing + "</guid>\n"
         "      <pubDate></pubDate>\n"
         "      <itunes:duration>1:00:00</itunes:duration>\n"
         "      <itunes:explicit>false</itunes:explicit>\n"
         "    </item>\n"},
        {"missing file with a host url, empty mime", missing, 1, "https://h/a.mp3", "",
         "    <item>\n"
         "      <title></title>\n"
         "      <enclosure url=\"https://h/a.mp3\" type=\"\" length=\"777\" />\n"
         "      <guid isPermaLink=\"false\">" + missing + "</guid>\n"
         "      <pubDate></pubDate>\n"
         "      <itunes:duration>1:00:00</itunes:duration>\n"
         "      <itunes:explicit>false</itunes:explicit>\n"
         "    </item>\n"},
    };
    for (const auto &c : cases) {
        pf::reset_feed_state(pf::s_feed);
        pf::pf_episode &ep = add_episode(c.file);
        ep.url.assign(c.url);
        ep.url_explicit = c.url_explicit;
        ep.mime.assign(c.mime);
        ep.size = 777;
        ep.duration_s = 3600;
        EXPECT_EQ(items_of(build_document()), c.expected) << c.name;
    }
}

TEST_F(DocumentTest, EveryEpisodeIsWrittenInTableOrderWithItsClockDuration) {
    const struct {
        const char *title;
        std::int64_t duration_s;
        int block;
        const char *clock;
    } episodes[] = {
        {"short", 3599, 0, "59:59"},
        {"long", 3600, 1, "1:00:00"},
        {"blocked and long", 90061, 1, "25:01:01"},
    };
    for (const auto &ep : episodes) {
        pf::pf_episode &record = add_episode(std::string("/no/such/") + ep.title);
        record.title.assign(ep.title);
        record.duration_s = ep.duration_s;
        record.block = ep.block;
    }
    std::string expected;
    for (const auto &ep : episodes)
        expected += std::string("    <item>\n      <title>") + ep.title + "</title>\n" +
                    "      <guid isPermaLink=\"false\">/no/such/" + ep.title + "</guid>\n" +
                    "      <pubDate></pubDate>\n" + "      <itunes:duration>" + ep.clock +
                    "</itunes:duration>\n" + "      <itunes:explicit>false</itunes:explicit>\n" +
                    "    </item>\n";
    EXPECT_EQ(items_of(build_document()), expected);
}

TEST_F(DocumentTest, RenderingStoresTheDerivedUrlAndGuid) {
    const std::string file = write("Ep 1.mp3", "x");
    ASSERT_EQ(feed_url_base("https://h/show", dir().c_str()), 0);
    pf::pf_episode &ep = add_episode(file);
    const std::string items = items_of(build_document());
    EXPECT_NE(items.find("<enclosure url=\"https://h/show/Ep%201.mp3\""), std::string::npos) << items;
    EXPECT_STREQ(ep.url.c_str(), "https://h/show/Ep%201.mp3");
    EXPECT_EQ(std::string(ep.guid.view()), file);
}

TEST_F(DocumentTest, LongValuesAreWrittenWholeOrCutOnlyWhereTheFormatSays) {
    pf::pf_episode &ep = add_episode("/no/such/file.mp3");
    // Values that grow five and six times when escaped: their elements must
    // still be complete.
    ep.image.assign(std::string(ep.image.capacity - 1, '&'));
    ep.author.assign(std::string(ep.author.capacity - 1, '"'));
    // The base URL reaches the document through a 2048-byte text.
    ASSERT_EQ(feed_url_base(std::string(3000, 'b').c_str(), nullptr), 0);

    std::string amps, quotes;
    for (std::size_t i = 0; i + 1 < ep.image.capacity; ++i) amps += "&amp;";
    for (std::size_t i = 0; i + 1 < ep.author.capacity; ++i) quotes += "&quot;";
    const std::string document = build_document();
    EXPECT_NE(document.find("<itunes:explicit>false</itunes:explicit>\n      <itunes:image href=\"" + amps +
                            "\" />\n      <itunes:author>" + quotes + "</itunes:author>\n    </item>\n"),
              std::string::npos);
    EXPECT_NE(document.find("<link>" + std::string(2047, 'b') + "</link>"), std::string::npos);
}

// A document of length L needs L + 1 bytes; with less, every byte that fits
// is the document's own and the text is terminated.
TEST_F(DocumentTest, OverflowKeepsTheLongestPrefixThatFits) {
    ASSERT_EQ(feed_channel_set("lastBuildDate", kBuildDate), 0);
    pf::pf_episode &ep = add_episode("/no/such/file.mp3");
    ep.title.assign("title");
    ep.image.assign("https://h/i.png");
    ep.author.assign("author");
    const std::string document = build_document();
    const std::size_t length = document.size();

    std::string buffer(length + 1, '?');
    ASSERT_EQ(pf::feed_build(pf::s_feed, buffer.data(), length + 1), 0);
    EXPECT_EQ(std::string(buffer.c_str()), document);
    for (std::size_t capacity = 1; capacity <= length; ++capacity) {
        pf::clear_err();
        buffer.assign(length + 1, '?');
        ASSERT_EQ(pf::feed_build(pf::s_feed, buffer.data(), capacity), pf::kBuildOverflow) << capacity;
        ASSERT_STREQ(pf::s_err, "feed_build: buffer overflow");
        ASSERT_EQ(std::string(buffer.c_str()), document.substr(0, capacity - 1)) << capacity;
    }
    EXPECT_EQ(pf::feed_build(pf::s_feed, nullptr, 0), pf::kBuildOverflow);
}

}  // namespace
}  // namespace pf_test
