// Adding episodes from JSON: what is refused, which members count, and the
// facts taken from the media file.
#include <climits>
#include <cstring>
#include <filesystem>
#include <string>

#include "episode_state.h"
#include "support/media_builders.h"

namespace pf_test {
namespace {

using AddEpisode = EpisodeTest;

TEST_F(AddEpisode, RefusesAnythingButAnObjectWithAFile) {
    const std::string deep = std::string(100000, '[') + std::string(99999, ']');
    const struct {
        std::string json;
        const char *message;
    } cases[] = {
        {"[]", "feed_episode_add: invalid JSON object"},
        {"\"/m/a.mp3\"", "feed_episode_add: invalid JSON object"},
        {"{\"file\":\"a.mp3\"} {}", "feed_episode_add: invalid JSON object"},
        {"{\"file\":\"a.mp3\",}", "feed_episode_add: invalid JSON object"},
        {"{'file':'a.mp3'}", "feed_episode_add: invalid JSON object"},
        {"{\"file\":\"a.mp3\"} // note", "feed_episode_add: invalid JSON object"},
        {"{\"file\":\"\xff.mp3\"}", "feed_episode_add: invalid JSON object"},
        {"{\"file\":\"\\ud800.mp3\"}", "feed_episode_add: invalid JSON object"},
        {"{\"file\":\"a.mp3\",\"episode\":NaN}", "feed_episode_add: invalid JSON object"},
        {"{\"file\":\"a.mp3\",\"episode\":1e400}", "feed_episode_add: invalid JSON object"},
        {"{\"file\":\"a.mp3\",\"x\":" + deep + "}", "feed_episode_add: invalid JSON object"},
        {"{}", "feed_episode_add: missing 'file'"},
        {"{\"file\":3}", "feed_episode_add: missing 'file'"},
        {"{\"file\":\"\"}", "feed_episode_add: missing 'file'"},
        {"{\"file\":null}", "feed_episode_add: missing 'file'"},
        {"{\"File\":\"a.mp3\"}", "feed_episode_add: missing 'file'"},
        {"{\"file\":3,\"file\":\"a.mp3\"}", "feed_episode_add: missing 'file'"},
        {"{\"file\":\"\\u0000a.mp3\"}", "feed_episode_add: missing 'file'"},
    };
    for (const auto &c : cases) {
        EXPECT_EQ(feed_episode_add(c.json.c_str()), -1) << c.json.substr(0, 60);
        EXPECT_STREQ(feed_last_error(), c.message) << c.json.substr(0, 60);
    }
    EXPECT_EQ(feed_episode_count(), 0);
    // Deep nesting that closes properly is valid JSON and just ignored.
    EXPECT_EQ(add("/none/a.mp3", ",\"x\":" + deep + "]"), 0);
}

TEST_F(AddEpisode, TakesFirstMembersOfTheRightTypeOnly) {
    ASSERT_EQ(add("/none/a.mp3",
                  ",\"title\":\"first\",\"title\":\"second\",\"description\":5,\"image\":\"i\\u0000x\","
                  "\"author\":\"A\",\"keywords\":\"k\",\"pubDate\":\"Tue, 14 Nov 2023 22:13:20 GMT\","
                  "\"episode\":3.9,\"season\":\"2\",\"block\":true,\"url\":\"https://h/a\",\"guid\":\"g\","
                  "\"duration_s\":60,\"size\":9,\"mime\":\"audio/mpeg\",\"codec\":\"mp3\",\"bitrate_kbps\":1"),
              0);
    const pf::pf_episode &e = pf::s_feed.episodes[0];
    EXPECT_STREQ(e.file.c_str(), "/none/a.mp3");
    EXPECT_STREQ(e.title.c_str(), "first");
    EXPECT_STREQ(e.description.c_str(), "");
    EXPECT_STREQ(e.image.c_str(), "i");
    EXPECT_STREQ(e.author.c_str(), "A");
    EXPECT_STREQ(e.keywords.c_str(), "k");
    EXPECT_STREQ(e.pubDate.c_str(), "Tue, 14 Nov 2023 22:13:20 GMT");
    EXPECT_EQ(e.episode, 3);
    EXPECT_EQ(e.season, 0);
    EXPECT_EQ(e.block, 0);
    EXPECT_STREQ(e.url.c_str(), "");
    EXPECT_STREQ(e.guid.c_str(), "");
    EXPECT_EQ(e.url_explicit, 0);
    EXPECT_EQ(e.duration_s, 0);
    EXPECT_EQ(e.size, 0);
    EXPECT_STREQ(e.mime.c_str(), "");
    EXPECT_STREQ(e.codec.c_str(), "");
    EXPECT_EQ(e.bitrate_kbps, 0);
}

TEST_F(AddEpisode, NumbersTruncateTowardZeroAndSaturate) {
    const struct {
        const char *json;
        int stored;
    } cases[] = {
        {"-2.5", -2}, {"3.9", 3}, {"1e300", INT_MAX}, {"-1e300", INT_MIN}, {"4294967296", INT_MAX}, {"-0.5", 0},
    };
    for (const auto &c : cases) {
        ASSERT_EQ(add("/none/a.mp3", std::string(",\"season\":") + c.json), 0);
        EXPECT_EQ(pf::s_feed.episodes[feed_episode_count() - 1].season, c.stored) << c.json;
    }
}

TEST_F(AddEpisode, FillsSizeAndProbedFactsFromAnExistingFile) {
    MpegFrame frame;
    const std::string mp3 = write("ep.mp3", mpeg_frames(frame, 400));
    const std::string txt = write("notes.txt", "twelve bytes");
    const char *probe_text = media_probe("");
    pf::set_err("earlier");
    ASSERT_EQ(add(mp3), 0);
    ASSERT_EQ(add(txt), 0);
    ASSERT_EQ(add(dir() + "/missing.mp3"), 0);
    // The probe's complaint about the text file is not the add's failure.
    EXPECT_STREQ(feed_last_error(), "");
    EXPECT_NE(std::strstr(probe_text, ".txt"), nullptr) << probe_text;

    const pf::pf_episode &audio = pf::s_feed.episodes[0];
    EXPECT_EQ(audio.size, static_cast<std::int64_t>(std::filesystem::file_size(mp3)));
    EXPECT_EQ(audio.duration_s, 10);
    EXPECT_EQ(audio.bitrate_kbps, 128);
    EXPECT_STREQ(audio.mime.c_str(), "audio/mpeg");
    EXPECT_STRNE(audio.codec.c_str(), "");
    const pf::pf_episode &text = pf::s_feed.episodes[1];
    EXPECT_EQ(text.size, 12);
    EXPECT_STREQ(text.mime.c_str(), "");
    const pf::pf_episode &missing = pf::s_feed.episodes[2];
    EXPECT_EQ(missing.size, 0);
    EXPECT_STREQ(missing.mime.c_str(), "");
}

// A path cut to the field names another file; that file's facts must not be
// taken for the episode's.
TEST_F(AddEpisode, CutPathIsStoredButNotProbed) {
    if (std::filesystem::path::preferred_separator == '\\')
        GTEST_SKIP() << "Windows' ANSI file calls stop at MAX_PATH (260 bytes) unless the host opts into long paths";
    std::string folder = dir();
    while (folder.size() < 1023 - 200) folder += "/" + std::string(150, 'd');
    std::filesystem::create_directories(folder);
    const std::string fits = write(folder.substr(dir().size() + 1) + "/" + std::string(1023 - folder.size() - 1, 'f'),
                                   "twelve bytes");
    ASSERT_EQ(fits.size(), 1023u);

    ASSERT_EQ(add(fits), 0);
    ASSERT_EQ(add(fits + "-and-more.mp3"), 0);
    EXPECT_EQ(pf::s_feed.episodes[0].size, 12);
    EXPECT_STREQ(pf::s_feed.episodes[1].file.c_str(), fits.c_str());
    EXPECT_EQ(pf::s_feed.episodes[1].size, 0);
}

}  // namespace
}  // namespace pf_test
