// Publishing the feed to a file: the bytes written, the messages of the
// failures, and no temporary file left behind either way.
#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "core/json.h"
#include "support/media_builders.h"
#include "tests/render/render_state.h"

namespace pf_test {
namespace {

class FileOutputTest : public RenderTest {
protected:
    void SetUp() override {
        RenderTest::SetUp();
        ASSERT_EQ(feed_channel_set("lastBuildDate", kBuildDate), 0);
    }

    // The names in the test folder, to see that no temporary file is left.
    std::vector<std::string> names_in_dir() const {
        std::vector<std::string> names;
        for (const auto &entry : std::filesystem::directory_iterator(dir()))
            names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }
};

TEST_F(FileOutputTest, WritesExactlyTheGeneratedDocumentAndClearsTheError) {
    // Large enough to overflow the first buffer on the way.
    for (int i = 0; i < 100; ++i) {
        pf::pf_episode &e = add_episode("/no/such/" + std::to_string(i));
        e.title.assign(std::string(1000, 'x'));
    }
    const std::string path = dir() + "/feed.xml";
    for (const char *old : {"", "an older feed"}) {
        write("feed.xml", old);
        ASSERT_EQ(feed_generate_to(path.c_str()), 0);
        EXPECT_STREQ(feed_last_error(), "");
        EXPECT_EQ(read_file(path), std::string(feed_generate()));
        EXPECT_EQ(names_in_dir(), std::vector<std::string>{"feed.xml"});
    }
    EXPECT_EQ(pf::s_feed.feed.capacity, 131072u);
}

// From the first call to the published file, through the interface alone.
TEST_F(FileOutputTest, FeedBuiltByHandIsPublishedByteForByte) {
    ASSERT_EQ(feed_channel_set("title", "Tom & Jerry's Show"), 0);
    ASSERT_EQ(feed_channel_set("author", "Ann"), 0);
    const std::string wav = pcm_wav(1, 8000, 8, 8000 * 75);
    const std::string first = write("Ep 1.wav", wav);
    const std::string second = dir() + "/Ep 2.mp3";
    ASSERT_EQ(feed_url_base("https://h/show", dir().c_str()), 0);
    const std::string first_json = "{\"file\":\"" + pf::json_escape(first) +
                                   "\",\"title\":\"First <one>\",\"pubDate\":\"Mon, 13 Nov 2023 08:00:00 GMT\","
                                   "\"image\":\"https://h/1.png\"}";
    const std::string second_json =
        "{\"file\":\"" + pf::json_escape(second) + "\",\"title\":\"Second\",\"author\":\"Bo\"}";
    ASSERT_EQ(feed_episode_add(first_json.c_str()), 0) << feed_last_error();
    ASSERT_EQ(feed_episode_add(second_json.c_str()), 0) << feed_last_error();
    ASSERT_EQ(feed_episode_set(1, "url", "https://cdn.h/e2.mp3"), 0);

    const std::string path = dir() + "/feed.xml";
    ASSERT_EQ(feed_generate_to(path.c_str()), 0) << feed_last_error();
    const std::string expected =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        "<rss version=\"2.0\" \n"
        "  xmlns:itunes=\"http://www.itunes.com/dtds/podcast-1.0.dtd\"\n"
        "  xmlns:atom=\"http://www.w3.org/2005/Atom\">\n"
        "  <channel>\n"
        "    <title>Tom &amp; Jerry&apos;s Show</title>\n"
        "    <link>https://h/show</link>\n"
        "    <description>Personal audio playlist</description>\n"
        "    <language>en</language>\n"
        "    <lastBuildDate>Tue, 14 Nov 2023 22:13:20 GMT</lastBuildDate>\n"
        "    <atom:link href=\"https://h/show/feed.xml\" rel=\"self\" type=\"application/rss+xml\" />\n"
        "    <itunes:author>Ann</itunes:author>\n"
        "    <itunes:image href=\"" PF_DEFAULT_ARTWORK_URL "\" />\n"
        "    <itunes:summary>Personal audio playlist</itunes:summary>\n"
        "    <itunes:category text=\"Music\" />\n"
        "    <itunes:explicit>false</itunes:explicit>\n"
        "    <itunes:type>episodic</itunes:type>\n"
        "    <item>\n"
        "      <title>First &lt;one&gt;</title>\n"
        "      <enclosure url=\"https://h/show/Ep%201.wav\" type=\"audio/wav\" length=\"" +
        std::to_string(wav.size()) +
        "\" />\n"
        "      <guid isPermaLink=\"false\">" + first + "</guid>\n"
        "      <pubDate>Mon, 13 Nov 2023 08:00:00 GMT</pubDate>\n"
        "      <itunes:duration>1:15</itunes:duration>\n"
        "      <itunes:explicit>false</itunes:explicit>\n"
        "      <itunes:image href=\"https://h/1.png\" />\n"
        "    </item>\n"
        "    <item>\n"
        "      <title>Second</title>\n"
        "      <enclosure url=\"https://cdn.h/e2.mp3\" type=\"\" length=\"0\" />\n"
        "      <guid isPermaLink=\"false\">" + second + "</guid>\n"
        "      <pubDate></pubDate>\n"
        "      <itunes:duration>0:00</itunes:duration>\n"
        "      <itunes:explicit>false</itunes:explicit>\n"
        "      <itunes:author>Bo</itunes:author>\n"
        "    </item>\n"
        "  </channel>\n"
        "</rss>";
    EXPECT_EQ(read_file(path), expected);
}

TEST_F(FileOutputTest, MissingPathFailsWithoutRendering) {
    for (const char *path : {static_cast<const char *>(nullptr), ""}) {
        EXPECT_EQ(feed_generate_to(path), -1);
        EXPECT_STREQ(feed_last_error(), "feed_generate_to: NULL path");
        EXPECT_EQ(pf::s_feed.feed.text, nullptr);
    }
}

TEST_F(FileOutputTest, UnopenableTargetNamesThePathAndTheSystemError) {
    std::filesystem::create_directory(dir() + "/folder");
    for (const std::string &path : {dir() + "/no/such/folder/feed.xml", dir() + "/folder"}) {
        EXPECT_EQ(feed_generate_to(path.c_str()), -1);
        const std::string message = feed_last_error();
        const std::string prefix = "feed_generate_to: cannot open " + path + " for write (win err ";
        ASSERT_EQ(message.compare(0, prefix.size(), prefix), 0) << message;
        const std::string code = message.substr(prefix.size());
        EXPECT_GT(std::stoul(code), 0u) << message;
        EXPECT_EQ(code.back(), ')') << message;
    }
    // The feed was rendered before the file was tried.
    EXPECT_EQ(pf::s_feed.feed.capacity, 65536u);
    EXPECT_EQ(names_in_dir(), std::vector<std::string>{"folder"});
}

}  // namespace
}  // namespace pf_test
