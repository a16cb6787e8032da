// A scanned folder rendered: the channel defaults, the derived enclosure URLs
// and GUIDs and the sidecar members as they reach the document.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "quorvane_podcastfeed.h"
#include "scan/scan.h"
#include "support/media_builders.h"
#include "support/temp_dir.h"
#include "tests/scan/scan_support.h"

namespace {

using pf_test::set_mtime;
using pf_test::write_file;

// The document from its channel element on, with the build date (the time
// of rendering) taken out.
std::string channel_part(const std::string &doc) {
    std::string part = doc.substr(doc.find("  <channel>\n"));
    std::size_t from = part.find("    <lastBuildDate>");
    std::size_t to = part.find('\n', from);
    if (from != std::string::npos) part.erase(from, to - from + 1);
    return part;
}

TEST(ScannedFeed, RendersWithDerivedUrlsAndSidecarMembers) {
    pf_test::TempDir tmp;
    std::string dist = tmp.path().substr(tmp.path().find_first_not_of('/')) + "/My Show";
    // A Windows scratch folder (C:\...) needs encoding too, so the base comes
    // from the scan's own encoder; the last segment shows it explicitly.
    std::string base = pf::default_base_url(dist);
    EXPECT_EQ(base.substr(base.size() - 10), "/My%20Show");
    std::string dir = tmp.file("My Show");
    ASSERT_TRUE(std::filesystem::create_directory(dir));
    std::string ep1 = scan_test::mp3_of_seconds(10);
    write_file(dir + "/Ep 1 (LIVE).mp3", ep1);
    set_mtime(dir + "/Ep 1 (LIVE).mp3", 1700000000);
    write_file(dir + "/Ep 1 (LIVE).json", "{\"thumbnail\":\"https://img.test/a&b.jpg\",\"author\":\"Ann & Bo\"}");
    write_file(dir + "/b.m4a", "no movie here");
    set_mtime(dir + "/b.m4a", 0);

    ASSERT_EQ(feed_episode_scan((dir + "/").c_str(), nullptr), 0);
    const std::string expected =
        "  <channel>\n"
        "    <title>My Show</title>\n"
        "    <link>" + base + "</link>\n"
        "    <description>Personal audio playlist</description>\n"
        "    <language>en</language>\n"
        "    <atom:link href=\"" + base + "/feed.xml\" rel=\"self\" type=\"application/rss+xml\" />\n"
        "    <itunes:author>My Music</itunes:author>\n"
        "    <itunes:image href=\"https://img.test/a&amp;b.jpg\" />\n"
        "    <itunes:summary>Personal audio playlist</itunes:summary>\n"
        "    <itunes:category text=\"Music\" />\n"
        "    <itunes:explicit>false</itunes:explicit>\n"
        "    <itunes:type>episodic</itunes:type>\n"
        "    <item>\n"
        "      <title>Ep 1</title>\n"
        "      <enclosure url=\"" + base + "/Ep%201%20%28LIVE%29.mp3\" type=\"audio/mpeg\" length=\"" +
        std::to_string(ep1.size()) + "\" />\n"
        "      <guid isPermaLink=\"false\">" + dist + "/Ep 1 (LIVE).mp3</guid>\n"
        "      <pubDate>Tue, 14 Nov 2023 22:13:20 GMT</pubDate>\n"
        "      <itunes:duration>0:10</itunes:duration>\n"
        "      <itunes:explicit>false</itunes:explicit>\n"
        "      <itunes:image href=\"https://img.test/a&amp;b.jpg\" />\n"
        "      <itunes:author>Ann &amp; Bo</itunes:author>\n"
        "    </item>\n"
        "    <item>\n"
        "      <title>b</title>\n"
        "      <enclosure url=\"" + base + "/b.m4a\" type=\"audio/x-m4a\" length=\"13\" />\n"
        "      <guid isPermaLink=\"false\">" + dist + "/b.m4a</guid>\n"
        "      <pubDate>Thu, 01 Jan 1970 00:00:00 GMT</pubDate>\n"
        "      <itunes:duration>0:00</itunes:duration>\n"
        "      <itunes:explicit>false</itunes:explicit>\n"
        "    </item>\n"
        "  </channel>\n"
        "</rss>";
    EXPECT_EQ(channel_part(feed_generate()), expected);
}

TEST(ScannedFeed, AScannedFolderPassesValidation) {
    pf_test::TempDir tmp;
    write_file(tmp.file("ep1.mp3"), scan_test::mp3_of_seconds(5));
    write_file(tmp.file("ep2.mp4"), pf_test::iso_file(600, 6000, {"avc1"}, 64));
    ASSERT_EQ(feed_episode_scan(tmp.path().c_str(), "{\"base_url\":\"https://podcasts.test/show\"}"), 0);
    EXPECT_EQ(feed_validate(), 0) << feed_validate_report_json();
}

}  // namespace
