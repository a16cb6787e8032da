// The feed buffer: its first size, its doubling, what stays in the last-error
// text, and a feed far beyond any fixed number of doublings.
#include <algorithm>
#include <string>

#include "tests/render/render_state.h"

namespace pf_test {
namespace {

using GenerateTest = RenderTest;

// Builds a feed whose document is exactly length bytes: episodes with a
// missing file (so no enclosure), then titles padded to the last byte.
void make_feed_of_length(std::size_t length) {
    ASSERT_EQ(feed_channel_set("lastBuildDate", kBuildDate), 0);
    constexpr std::size_t kTitleRoom = decltype(pf::pf_episode::title)::capacity - 1;
    std::size_t bare = build_document().size();
    while (bare + kTitleRoom * pf::s_feed.episodes.count < length) {
        pf::pf_episode &e = pf::s_feed.episodes[pf::s_feed.episodes.count++];
        e = pf::pf_episode{};
        e.file.assign("/no/such/" + std::to_string(pf::s_feed.episodes.count));
        bare = build_document().size();
    }
    ASSERT_LE(bare, length);
    std::size_t missing = length - bare;
    for (int i = 0; i < pf::s_feed.episodes.count && missing > 0; ++i) {
        const std::size_t pad = std::min(missing, kTitleRoom);
        pf::s_feed.episodes[i].title.assign(std::string(pad, 't'));
        missing -= pad;
    }
    ASSERT_EQ(build_document().size(), length);
}

TEST_F(GenerateTest, BufferDoublesUntilTheDocumentFits) {
    const struct {
        std::size_t length;
        std::uint64_t capacity;
        bool overflowed;
    } cases[] = {
        {2000, 65536, false},
        {65535, 65536, false},
        {65536, 131072, true},
        {131071, 131072, true},
        {131072, 262144, true},
    };
    for (const auto &c : cases) {
        pf::reset_feed_state(pf::s_feed);
        make_feed_of_length(c.length);
        pf::set_err("earlier failure");
        const std::string document = feed_generate();
        EXPECT_EQ(document.size(), c.length);
        EXPECT_EQ(document, build_document());
        EXPECT_EQ(pf::s_feed.feed.capacity, c.capacity) << c.length;
        // Success is told by the text; the last-error text keeps what the
        // last attempt or an earlier call left.
        EXPECT_STREQ(feed_last_error(), c.overflowed ? "feed_build: buffer overflow" : "earlier failure");
    }
}

TEST_F(GenerateTest, BufferIsKeptAndReusedByLaterRenderings) {
    make_feed_of_length(100000);
    feed_generate();
    const char *first = pf::s_feed.feed.text;
    ASSERT_EQ(pf::s_feed.feed.capacity, 131072u);

    const char *again = feed_generate();
    EXPECT_EQ(again, first);
    EXPECT_EQ(pf::s_feed.feed.capacity, 131072u);

    // A smaller feed does not shrink the buffer.
    pf::s_feed.episodes.count = 0;
    feed_generate();
    EXPECT_EQ(pf::s_feed.feed.capacity, 131072u);
}

TEST_F(GenerateTest, FullTableOfLongItemsRendersOnTheFirstCall) {
    // About 21 MiB: ten times the buffer of a sixth rendering attempt.
    for (int i = 0; i < pf::kMaxEpisodes; ++i) {
        pf::pf_episode &e = add_episode("/no/such/" + std::to_string(i));
        e.title.assign(std::string(e.title.capacity - 1, '&'));
    }
    const std::string document = feed_generate();
    ASSERT_FALSE(document.empty()) << feed_last_error();
    EXPECT_GT(document.size(), std::size_t{20} << 20);
    EXPECT_EQ(document.compare(document.size() - 6, 6, "</rss>"), 0);
    EXPECT_EQ(pf::s_feed.feed.capacity, std::uint64_t{32} << 20);
}

}  // namespace
}  // namespace pf_test
