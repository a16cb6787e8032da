// Comparison of the current episodes with an earlier feed file.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "checks_state.h"

namespace {

using pf_test::FeedTest;
using pf_test::write_file;

constexpr const char *kNov14 = "Tue, 14 Nov 2023 22:13:20 GMT";

std::string result(int added, int removed, int changed, int unchanged, const std::string &newest = kNov14) {
    return "{\"added\":" + std::to_string(added) + ",\"removed\":" + std::to_string(removed) +
           ",\"changed\":" + std::to_string(changed) + ",\"unchanged\":" + std::to_string(unchanged) +
           ",\"newest_pubDate\":\"" + newest + "\"}";
}

class DiffTest : public FeedTest {
protected:
    // An episode with a fixed URL and GUID, so hand-written items can name them.
    pf::pf_episode &add_fixed(const std::string &guid, const std::string &title, const std::string &url) {
        pf::pf_episode &e = add_episode(guid + ".mp3");
        e.guid.assign(guid);
        e.title.assign(title);
        e.url.assign(url);
        e.url_explicit = 1;
        return e;
    }

    std::string diff_with_text(const std::string &feed) {
        write_file(path("old.xml"), feed);
        return feed_diff(path("old.xml").c_str());
    }

    std::string diff_with_rendered() {
        EXPECT_EQ(feed_generate_to(path("old.xml").c_str()), 0) << feed_last_error();
        return feed_diff(path("old.xml").c_str());
    }
};

// One item laid out as the feed writer does; empty parts are left out.
std::string item(const std::string &guid_element, const std::string &title, const std::string &url,
                 const std::string &date = kNov14) {
    std::string text = "    <item>\n      <title>" + title + "</title>\n";
    if (!url.empty()) text += "      <enclosure url=\"" + url + "\" type=\"audio/mpeg\" length=\"11\" />\n";
    text += "      " + guid_element + "\n      <pubDate>" + date + "</pubDate>\n    </item>\n";
    return text;
}

std::string guid(const std::string &value) { return "<guid isPermaLink=\"false\">" + value + "</guid>"; }

std::string feed(const std::string &items) {
    return "<rss version=\"2.0\">\n  <channel>\n" + items + "  </channel>\n</rss>";
}

TEST_F(DiffTest, FeedWrittenFromTheTableComparesUnchanged) {
    feed_url_base("http://example.org/show", folder().c_str());
    add_episode("one.mp3");
    add_episode("two & three.mp3").pubDate.assign("");
    EXPECT_EQ(diff_with_rendered(), result(0, 0, 0, 2));
    EXPECT_STREQ(feed_last_error(), "");
}

TEST_F(DiffTest, TextsTheWriterNormalisesStillCompareUnchanged) {
    const struct {
        const char *what;
        std::function<void(pf::pf_episode &)> edit;
    } cases[] = {
        {"control bytes", [](pf::pf_episode &e) { e.title.assign("a\x01" "b\x1f" "c"); }},
        {"invalid UTF-8", [](pf::pf_episode &e) { e.title.assign("caf\xe9 \xff"); }},
        {"escaped title beyond its field", [](pf::pf_episode &e) { e.title.assign(std::string(1023, '&')); }},
        {"long escaped GUID", [](pf::pf_episode &e) { e.guid.assign(std::string(2047, '<')); }},
        {"long escaped URL",
         [](pf::pf_episode &e) {
             e.url.assign("http://h/?" + std::string(4085, '&'));
             e.url_explicit = 1;
         }},
        {"invalid UTF-8 GUID", [](pf::pf_episode &e) { e.guid.assign("id-\xc3"); }},
    };
    for (const auto &c : cases) {
        pf::reset_feed_state(pf::s_feed);
        c.edit(add_episode("one.mp3"));
        EXPECT_EQ(diff_with_rendered(), result(0, 0, 0, 1)) << c.what;
    }
}

TEST_F(DiffTest, EditsRemovalsAndAdditionsAreCounted) {
    const struct {
        const char *what;
        std::function<void()> edit;
        std::string want;
    } cases[] = {
        {"nothing", [] {}, result(0, 0, 0, 3)},
        {"title", [] { feed_episode_set(1, "title", "New title"); }, result(0, 0, 1, 2)},
        {"pubDate", [] { feed_episode_set(1, "pubDate", "Wed, 15 Nov 2023 08:00:00 GMT"); },
         result(0, 0, 1, 2, "Wed, 15 Nov 2023 08:00:00 GMT")},
        {"url", [] { feed_episode_set(2, "url", "http://elsewhere/x.mp3"); }, result(0, 0, 1, 2)},
        {"guid", [] { feed_episode_set(0, "guid", "new-guid"); }, result(1, 1, 0, 2)},
        {"removed", [] { feed_episode_remove(0); }, result(0, 1, 0, 2)},
        {"moved", [] { feed_episode_move(0, 2); }, result(0, 0, 0, 3)},
        {"all removed", [] { pf::s_feed.episodes.count = 0; }, result(0, 3, 0, 0, "")},
        {"added", [this] { add_episode("d.mp3"); }, result(1, 0, 0, 3)},
    };
    for (const auto &c : cases) {
        pf::reset_feed_state(pf::s_feed);
        add_episode("a.mp3");
        add_episode("b.mp3");
        add_episode("c.mp3");
        ASSERT_EQ(feed_generate_to(path("old.xml").c_str()), 0);
        c.edit();
        EXPECT_EQ(feed_diff(path("old.xml").c_str()), c.want) << c.what;
    }
}

TEST_F(DiffTest, HandWrittenItemsMatchByTheirFalsePermaLinkGuid) {
    const struct {
        const char *what;
        std::string items;
        std::string want;
    } cases[] = {
        {"same", item(guid("g1"), "T", "http://u/1"), result(0, 0, 0, 1)},
        {"permalink true", item("<guid isPermaLink=\"true\">g1</guid>", "T", "http://u/1"), result(1, 1, 0, 0)},
        {"no attribute", item("<guid>g1</guid>", "T", "http://u/1"), result(1, 1, 0, 0)},
        {"no enclosure", item(guid("g1"), "T", ""), result(0, 0, 1, 0)},
        {"other title", item(guid("g1"), "T2", "http://u/1"), result(0, 0, 1, 0)},
        {"no items", "", result(1, 0, 0, 0)},
        {"duplicate, first same", item(guid("g1"), "T", "http://u/1") + item(guid("g1"), "X", "http://u/1"),
         result(0, 0, 0, 1)},
        {"duplicate, first other", item(guid("g1"), "X", "http://u/1") + item(guid("g1"), "T", "http://u/1"),
         result(0, 0, 1, 0)},
        {"unclosed item", item(guid("g1"), "T", "http://u/1").substr(0, 60), result(1, 0, 0, 0)},
        {"value past the item's end",
         "<item><title>T</title></item>" + item(guid("g1"), "T", "http://u/1"), result(0, 1, 0, 1)},
        {"stray items", "<item></item><item><guid isPermaLink=\"false\">g9</guid></item>", result(1, 2, 0, 0)},
        {"unmatched duplicates", item(guid("g2"), "T", "http://u/1") + item(guid("g2"), "T", "http://u/1"),
         result(1, 2, 0, 0)},
    };
    for (const auto &c : cases) {
        pf::reset_feed_state(pf::s_feed);
        add_fixed("g1", "T", "http://u/1");
        EXPECT_EQ(diff_with_text(feed(c.items)), c.want) << c.what;
    }
}

TEST_F(DiffTest, ItemWithoutEnclosureMatchesAnEpisodeWithAnEmptyUrl) {
    add_fixed("g1", "T", "");
    EXPECT_EQ(diff_with_text(feed(item(guid("g1"), "T", ""))), result(0, 0, 0, 1));
}

TEST_F(DiffTest, EntitiesAreDecodedOnceLeftToRight) {
    const struct {
        const char *written;
        const char *stored;
        bool same;
    } cases[] = {
        {"Q&amp;A", "Q&A", true},
        {"&amp;lt;", "&lt;", true},
        {"&amp;lt;", "<", false},
        {"&lt;b&gt; &quot;x&quot; &apos;y&apos;", "<b> \"x\" 'y'", true},
        {"&#38; &nbsp; & &am", "&#38; &nbsp; & &am", true},
    };
    for (const auto &c : cases) {
        pf::reset_feed_state(pf::s_feed);
        add_fixed("g1", c.stored, "http://u/1");
        EXPECT_EQ(diff_with_text(feed(item(guid("g1"), c.written, "http://u/1"))),
                  c.same ? result(0, 0, 0, 1) : result(0, 0, 1, 0))
            << c.written;
    }
}

// Every text of an item may need decoding; those of the first item of a GUID
// must still hold once the items after it have been decoded.
TEST_F(DiffTest, DecodedTextsOfTheFirstItemOfAGuidAreTheOnesCompared) {
    add_fixed("a&b", "Q&A", "http://u/?x=1&y=2");
    add_fixed("c'd", "T", "http://u/2");
    const std::string items = item(guid("a&amp;b"), "Q&amp;A", "http://u/?x=1&amp;y=2") +
                              item(guid("c&apos;d"), "T&amp;", "http://u/2") +
                              item(guid("a&amp;b"), "&lt;other&gt;", "http://u/&amp;") +
                              item(guid("z&amp;z"), "T", "http://u/3");
    EXPECT_EQ(diff_with_text(feed(items)), result(0, 1, 1, 1));
}

TEST_F(DiffTest, TwoEpisodesWithOneGuidBothMatchItsItem) {
    add_fixed("g1", "T", "http://u/1");
    add_fixed("g1", "Other", "http://u/1");
    EXPECT_EQ(diff_with_text(feed(item(guid("g1"), "T", "http://u/1"))), result(0, 0, 1, 1));
}

TEST_F(DiffTest, NewestDateIsTheFirstLatestAsStoredAndEscaped) {
    add_fixed("g1", "T", "u").pubDate.assign("");
    add_fixed("g2", "T", "u").pubDate.assign("15 Nov 2023 08:00:00 \"UTC\"");
    add_fixed("g3", "T", "u").pubDate.assign("Wed, 15 Nov 2023 08:00:00 GMT");
    EXPECT_EQ(diff_with_text(feed("")), result(3, 0, 0, 0, "15 Nov 2023 08:00:00 \\\"UTC\\\""));
}

TEST_F(DiffTest, FailuresLeaveAnEmptyResultAndTheTableUntouched) {
    pf::pf_episode &e = add_episode("a.mp3");
    write_file(path("empty.xml"), "");
    const std::string missing = path("missing.xml"), empty = path("empty.xml");
    const struct {
        const char *path;
        std::string message;
    } cases[] = {
        {nullptr, "feed_diff: NULL path"},
        {"", "feed_diff: NULL path"},
        {missing.c_str(), "feed_diff: cannot open " + missing},
        {folder().c_str(), "feed_diff: cannot open " + folder()},
        {empty.c_str(), "feed_diff: empty file"},
    };
    for (const auto &c : cases) {
        EXPECT_STREQ(feed_diff(c.path), "");
        EXPECT_EQ(feed_last_error(), c.message);
        EXPECT_STREQ(e.url.c_str(), "");
        EXPECT_STREQ(e.guid.c_str(), "");
    }
}

// A length cut to 32 bits would make this file look empty; measured whole, it
// is too large to hold and the read fails cleanly.
TEST_F(DiffTest, FileTooLargeToHoldIsAReadError) {
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "the sanitizer's allocator reports the huge request instead of returning null";
#endif
    write_file(path("huge.xml"), "");
    std::error_code ec;
    std::filesystem::resize_file(path("huge.xml"), std::uintmax_t{1} << 43, ec);
    if (ec) GTEST_SKIP() << "no sparse file of 8 TiB here: " << ec.message();
    add_episode("a.mp3");
    EXPECT_STREQ(feed_diff(path("huge.xml").c_str()), "");
    EXPECT_STREQ(feed_last_error(), "feed_diff: read error");
}

}  // namespace
