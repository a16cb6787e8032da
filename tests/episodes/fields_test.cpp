// Reading episode fields as text.
#include <cstdint>
#include <string>

#include "episode_state.h"

namespace pf_test {
namespace {

using Fields = EpisodeTest;

void fill_first_episode(std::int64_t duration_s, std::int64_t size, std::int32_t number) {
    ASSERT_EQ(add("/m/ep.mp3", ",\"title\":\"T\",\"description\":\"D\",\"image\":\"I\",\"author\":\"A\","
                               "\"keywords\":\"K\",\"pubDate\":\"P\""),
              0);
    pf::pf_episode &e = pf::s_feed.episodes[0];
    e.duration_s = duration_s;
    e.size = size;
    e.bitrate_kbps = e.episode = e.season = e.block = number;
    e.mime.assign("audio/mpeg");
    e.codec.assign("mp3");
}

TEST_F(Fields, EveryNameReadsItsFieldAsText) {
    fill_first_episode(3661, 1048576, -7);
    const struct {
        const char *name, *text;
    } cases[] = {
        {"file", "/m/ep.mp3"}, {"title", "T"},        {"description", "D"},    {"image", "I"},
        {"author", "A"},       {"keywords", "K"},     {"pubDate", "P"},        {"url", "/m/ep.mp3"},
        {"guid", "/m/ep.mp3"}, {"mime", "audio/mpeg"}, {"codec", "mp3"},       {"duration", "1:01:01"},
        {"duration_s", "3661"}, {"size", "1048576"},  {"bitrate_kbps", "-7"},  {"episode", "-7"},
        {"season", "-7"},      {"block", "-7"},       {"pubdate", ""},         {"Title", ""},
        {"", ""},              {"url_explicit", ""},  {"size_text", ""},
    };
    const char *record = reinterpret_cast<const char *>(&pf::s_feed.episodes[0]);
    for (const auto &c : cases) {
        const char *text = feed_episode_field(0, c.name);
        ASSERT_NE(text, nullptr) << c.name;
        EXPECT_STREQ(text, c.text) << c.name;
        // Known names answer from the record itself, so texts stay readable side by side.
        if (const pf::pf_field *f = pf::find_field(c.name)) {
            if (f->kind == pf::FieldKind::text)
                EXPECT_EQ(text, f->view(pf::s_feed.episodes[0]).data()) << c.name;
            else
                EXPECT_TRUE(text >= record && text < record + sizeof(pf::pf_episode)) << c.name;
        }
    }
    const char *duration = feed_episode_field(0, "duration");
    const char *size = feed_episode_field(0, "size");
    EXPECT_STREQ(duration, "1:01:01");
    EXPECT_STREQ(size, "1048576");
}

// Every read derives the URL again, and an override stores its URL again:
// an unchanged text must keep its address for the host that holds it.
TEST_F(Fields, TextsKeepTheirAddressWhileTheHostReadsOn) {
    fill_first_episode(61, 1, 1);
    const std::string url = "https://mirror.example.com/" + std::string(3000, 'u') + ".mp3";
    ASSERT_EQ(feed_url_override("ep.mp3", url.c_str()), 0);
    const char *first_url = feed_episode_field(0, "url");
    const char *first_guid = feed_episode_field(0, "guid");
    const char *title = feed_episode_field(0, "title");
    for (const char *name : {"url", "guid", "duration", "size", "title"}) ASSERT_NE(feed_episode_field(0, name), nullptr);
    EXPECT_EQ(feed_episode_field(0, "url"), first_url);
    EXPECT_EQ(feed_episode_field(0, "guid"), first_guid);
    EXPECT_EQ(feed_episode_field(0, "title"), title);
    EXPECT_EQ(first_url, url.substr(0, 2047));
    EXPECT_STREQ(first_guid, "/m/ep.mp3");
}

TEST_F(Fields, ExtremeNumbersFitTheirScratchTexts) {
    fill_first_episode(INT64_MAX, INT64_MIN, INT32_MIN);
    EXPECT_STREQ(feed_episode_field(0, "duration_s"), "9223372036854775807");
    EXPECT_STREQ(feed_episode_field(0, "duration"), "2562047788015215:30:07");
    EXPECT_STREQ(feed_episode_field(0, "size"), "-9223372036854775808");
    EXPECT_STREQ(feed_episode_field(0, "bitrate_kbps"), "-2147483648");
    EXPECT_STREQ(feed_episode_field(0, "block"), "-2147483648");
}

TEST_F(Fields, BadIndexOrNullNameFailsAndAnyReadDerivesTheUrl) {
    fill_first_episode(0, 0, 0);
    EXPECT_EQ(feed_episode_field(1, "title"), nullptr);
    EXPECT_STREQ(feed_last_error(), "feed_episode_field: index 1 out of range");
    EXPECT_EQ(feed_episode_field(-1, "title"), nullptr);
    EXPECT_STREQ(feed_last_error(), "feed_episode_field: index -1 out of range");
    EXPECT_EQ(feed_episode_field(0, nullptr), nullptr);
    EXPECT_STREQ(feed_last_error(), "feed_episode_field: NULL field");
    EXPECT_STREQ(pf::s_feed.episodes[0].url.c_str(), "");
    EXPECT_STREQ(feed_episode_field(0, "unknown"), "");
    EXPECT_STREQ(pf::s_feed.episodes[0].url.c_str(), "/m/ep.mp3");
    EXPECT_STREQ(pf::s_feed.episodes[0].guid.c_str(), "/m/ep.mp3");
}

}  // namespace
}  // namespace pf_test
