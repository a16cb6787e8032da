// The reset every test fixture starts from: whatever the exported functions
// left in the feed, it is the feed of a library just loaded.
#include <gtest/gtest.h>

#include "core/feed_state.h"
#include "quorvane_podcastfeed.h"

namespace {

TEST(FeedState, ResetLeavesTheStateAtLoad) {
    pf::reset_feed_state(pf::s_feed);
    ASSERT_EQ(feed_channel_set("title", "T"), 0);
    ASSERT_EQ(feed_url_base("https://cdn.test", "/m"), 0);
    ASSERT_EQ(feed_url_override("a.mp3", "https://o.test/a.mp3"), 0);
    ASSERT_EQ(feed_episode_scan("/no/such/folder", nullptr), -1);
    for (int i = 0; i < 3; ++i) ASSERT_EQ(feed_episode_add("{\"file\":\"/none/a.mp3\"}"), 0);
    ASSERT_EQ(feed_episode_move(0, 2), 0);
    ASSERT_EQ(feed_episode_remove(0), 0);
    feed_channel_json();
    feed_validate_report_json();
    feed_stats_json();
    feed_sidecar_read("/none/a.mp3");
    feed_diff("/no/such/feed.xml");

    pf::reset_feed_state(pf::s_feed);
    const pf::pf_feed_state &st = pf::s_feed;
    EXPECT_EQ(st.channel.count, 0);
    EXPECT_EQ(st.episodes.count, 0);
    EXPECT_EQ(st.urls.base, nullptr);
    EXPECT_EQ(st.urls.local_root, nullptr);
    EXPECT_EQ(st.urls.guid_prefix, nullptr);
    EXPECT_EQ(st.urls.override_count, 0);
    EXPECT_EQ(st.feed.text, nullptr);
    EXPECT_EQ(st.feed.capacity, 0u);
    EXPECT_EQ(st.rules.count, 0);
    for (const char *text : {st.out.channel_json, st.out.report_json, st.out.stats_json, st.out.diff_json,
                             st.out.sidecar_text})
        EXPECT_STREQ(text, "");
    EXPECT_STREQ(feed_last_error(), "");
    // The edits' order is gone too: each position names its own record again.
    for (int p = 0; p < 3; ++p) EXPECT_EQ(&st.episodes[p], &st.episodes[0] + p) << p;
}

}  // namespace
