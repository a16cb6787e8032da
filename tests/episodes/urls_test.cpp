// Enclosure URL and GUID derivation: settings, overrides and kept texts.
#include <string>

#include "episode_state.h"

namespace pf_test {
namespace {

using Urls = EpisodeTest;

constexpr const char *kBase = "https://cdn.example/show";

struct Derived {
    std::string url, guid;
    bool operator==(const Derived &) const = default;
};

void PrintTo(const Derived &d, std::ostream *os) { *os << d.url << " | " << d.guid; }

Derived derived(int index) {
    return {feed_episode_field(index, "url"), feed_episode_field(index, "guid")};
}

TEST_F(Urls, DerivesFromBaseRootAndPrefix) {
    const struct {
        const char *base, *root, *prefix, *file;
        Derived expected;
    } cases[] = {
        {nullptr, nullptr, nullptr, "/m/a b.mp3", {"/m/a b.mp3", "/m/a b.mp3"}},
        {kBase, nullptr, "show", "/m/a.mp3", {"/m/a.mp3", "show/a.mp3"}},
        {kBase, "D:\\media\\show", "show", "D:\\media\\show\\Ep 1.mp3", {"https://cdn.example/show/Ep%201.mp3", "show/Ep 1.mp3"}},
        {kBase, "D:\\media\\show", "show", "E:\\other\\Ep 2.mp3", {"https://cdn.example/show/Ep%202.mp3", "show/Ep 2.mp3"}},
        {kBase, "D:\\media\\show", "", "D:\\media\\show", {"https://cdn.example/show/", "D:\\media\\show"}},
        {kBase, "D:\\media\\", "", "D:\\media\\x.mp3", {"https://cdn.example/show/x.mp3", "D:\\media\\x.mp3"}},
        {kBase, "D:\\media\\show", "", "D:\\media\\show\\s1\\e.mp3", {"https://cdn.example/show/s1%5Ce.mp3", "D:\\media\\show\\s1\\e.mp3"}},
        {kBase, "/srv/pod", "p", "/srv/pod//2024/\xc3\xa9.mp3", {"https://cdn.example/show/2024%2F%C3%A9.mp3", "p/\xc3\xa9.mp3"}},
        {kBase, "/srv/pod", "p", "/srv/podcast/e.mp3", {"https://cdn.example/show/e.mp3", "p/e.mp3"}},
        {"http://h/", "/srv", "", "/srv/a.mp3", {"http://h//a.mp3", "/srv/a.mp3"}},
    };
    for (const auto &c : cases) {
        pf::reset_feed_state(pf::s_feed);
        EXPECT_EQ(c.base ? feed_url_base(c.base, c.root) : 0, 0);
        EXPECT_EQ(c.prefix ? pf::set_grow(&pf::s_feed.urls.guid_prefix, c.prefix) : 0, 0);
        ASSERT_EQ(add(c.file), 0);
        EXPECT_EQ(derived(0), c.expected) << c.file;
    }
}

TEST_F(Urls, OverridesMatchFullPathOrBaseNameAndTheFirstWins) {
    const char *files[] = {"C:\\pod\\ep1.mp3", "/pod/ep1.mp3", "/pod/ep2.mp3", "/pod/ep3.mp3", "/pod/ep4.mp3"};
    for (const char *file : files) ASSERT_EQ(add(file), 0);
    feed_episode_set(2, "url", "https://host/set");
    feed_episode_set(3, "guid", "kept-guid");
    feed_url_override("ep1.mp3", "https://o/1");
    feed_url_override("/pod/ep1.mp3", "https://o/never");
    feed_url_override("/pod/ep2.mp3", "https://o/2");
    feed_url_override("ep2.mp3", "https://o/never");
    feed_url_override("ep3.mp3", "https://o/3");
    feed_url_override("ep4.mp3", "");
    const Derived expected[] = {
        {"https://o/1", "C:\\pod\\ep1.mp3"}, {"https://o/1", "/pod/ep1.mp3"}, {"https://o/2", "/pod/ep2.mp3"},
        {"https://o/3", "kept-guid"},        {"", "/pod/ep4.mp3"},
    };
    for (int i = 0; i < 5; ++i) EXPECT_EQ(derived(i), expected[i]) << files[i];
    EXPECT_EQ(derived(4), expected[4]);
}

TEST_F(Urls, DerivedOrHostSetTextsAreKept) {
    for (const char *file : {"/srv/a.mp3", "/srv/b.mp3", "/srv/c.mp3", "/srv/d.mp3"}) ASSERT_EQ(add(file), 0);
    feed_episode_set(0, "guid", "replaced");
    feed_episode_set(1, "url", "");
    feed_episode_set(2, "url", "https://mine/c");
    feed_episode_set(2, "guid", "mine");
    EXPECT_EQ(derived(3), (Derived{"/srv/d.mp3", "/srv/d.mp3"}));
    feed_url_base(kBase, "/srv");
    feed_episode_set(3, "guid", "after");
    const Derived expected[] = {
        {"https://cdn.example/show/a.mp3", "/srv/a.mp3"},
        {"", "/srv/b.mp3"},
        {"https://mine/c", "mine"},
        {"/srv/d.mp3", "after"},
    };
    for (int i = 0; i < 4; ++i) EXPECT_EQ(derived(i), expected[i]) << i;
    // An override outranks a kept URL, even one derived before it was added.
    feed_url_override("d.mp3", "https://o/d");
    EXPECT_EQ(derived(3), (Derived{"https://o/d", "after"}));
}

TEST_F(Urls, BaseSettingKeepsTheRootBlockWhenRootIsDropped) {
    ASSERT_EQ(feed_url_base(kBase, "/srv"), 0);
    const char *root = pf::s_feed.urls.local_root;
    ASSERT_EQ(feed_url_base(kBase, nullptr), 0);
    EXPECT_EQ(pf::s_feed.urls.local_root, root);
    EXPECT_STREQ(pf::s_feed.urls.local_root, "");
    ASSERT_EQ(add("/srv/a.mp3"), 0);
    EXPECT_EQ(derived(0).url, "/srv/a.mp3");
}

TEST_F(Urls, OverrideTableHoldsAtMost4096CutEntries) {
    const std::string long_file(1500, 'f'), long_url(3000, 'u');
    ASSERT_EQ(feed_url_override(long_file.c_str(), long_url.c_str()), 0);
    EXPECT_EQ(std::string(pf::s_feed.urls.overrides[0].file), long_file.substr(0, 1023));
    EXPECT_EQ(std::string(pf::s_feed.urls.overrides[0].url), long_url.substr(0, 2047));
    for (int i = 1; i < pf::kMaxOverrides; ++i) ASSERT_EQ(feed_url_override("", ""), 0);
    EXPECT_EQ(feed_url_override("a", "b"), -1);
    EXPECT_STREQ(feed_last_error(), "feed_url_override: too many");
    EXPECT_EQ(pf::s_feed.urls.override_count, pf::kMaxOverrides);
}

}  // namespace
}  // namespace pf_test
