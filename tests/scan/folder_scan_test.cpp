// The folder scan on real folders: what becomes an episode and in which
// order, the channel defaults, the artwork choice and the URL settings.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "channel/channel.h"
#include "core/error.h"
#include "core/feed_state.h"
#include "episodes/episodes.h"
#include "quorvane_podcastfeed.h"
#include "scan/scan.h"
#include "support/media_builders.h"
#include "support/temp_dir.h"
#include "tests/scan/scan_support.h"

namespace {

namespace fs = std::filesystem;
using pf_test::set_mtime;
using pf_test::TempDir;
using pf_test::write_file;

std::vector<std::string> episode_files() {
    std::vector<std::string> files;
    const pf::pf_episode_table &eps = pf::s_feed.episodes;
    for (int i = 0; i < eps.count; ++i) files.emplace_back(fs::path(eps[i].file.view()).filename().string());
    return files;
}

std::string channel(const char *key) {
    const char *value = pf::channel_lookup(pf::s_feed.channel, key);
    return value ? value : "<unset>";
}

std::string text_of(const char *slot) { return slot ? slot : ""; }

// A folder with a name of its own inside a scratch folder.
struct Show {
    TempDir tmp;
    std::string dir;
    explicit Show(const char *name = "my_show") : dir(tmp.file(name)) { fs::create_directory(dir); }
    std::string file(const std::string &name) const { return dir + "/" + name; }
    void add(const std::string &name, const std::string &bytes = "") const { write_file(file(name), bytes); }
};

TEST(FolderScan, BadArgumentsFailBeforeAnythingChanges) {
    Show show;
    show.add("ep1.mp3");
    ASSERT_EQ(feed_episode_scan(show.dir.c_str(), "{\"playlist_name\":\"Kept\"}"), 0);
    std::string channel_before = feed_channel_json();
    std::string missing = show.tmp.file("missing");
    std::string plain_file = show.file("ep1.mp3");
    const struct {
        const char *dir, *config;
        std::string message;
    } cases[] = {
        {nullptr, nullptr, "feed_episode_scan: NULL dir"},
        {"", "{}", "feed_episode_scan: NULL dir"},
        {missing.c_str(), "[]", "feed_episode_scan: config_json is not an object"},
        {show.dir.c_str(), "not json", "feed_episode_scan: config_json is not an object"},
        {show.dir.c_str(), "{\"playlist_name\":\"x\"", "feed_episode_scan: config_json is not an object"},
        {show.dir.c_str(), "\"{}\"", "feed_episode_scan: config_json is not an object"},
        {show.dir.c_str(), "{} []", "feed_episode_scan: config_json is not an object"},
        {missing.c_str(), nullptr, "feed_episode_scan: cannot open dir " + missing},
        {plain_file.c_str(), "", "feed_episode_scan: cannot open dir " + plain_file},
    };
    for (const auto &c : cases) {
        EXPECT_EQ(feed_episode_scan(c.dir, c.config), -1) << c.message;
        EXPECT_EQ(feed_last_error(), c.message);
        EXPECT_EQ(feed_episode_count(), 1) << c.message;
        EXPECT_EQ(feed_channel_json(), channel_before) << c.message;
    }
}

// The local folder text holds 2047 bytes once trailing separators are gone; a
// longer folder would have to be cut, and cut it names another folder.
TEST(FolderScan, FoldersUpToTheLocalFolderTextScanAndLongerOnesAreRefused) {
    if (std::filesystem::path::preferred_separator == '\\')
        GTEST_SKIP() << "Windows' ANSI file calls stop at MAX_PATH (260 bytes) unless the host opts into long paths";
    TempDir tmp;
    const struct {
        std::size_t length;
        const char *trailing;
        bool scans;
    } cases[] = {
        {1198, "", true}, {1500, "", true}, {2040, "/", true}, {2047, "//", true}, {2048, "", false},
    };
    for (const auto &c : cases) {
        ASSERT_EQ(feed_episode_scan(tmp.path().c_str(), nullptr), 0);
        std::string folder = scan_test::deep_folder(tmp, c.length);
        write_file(folder + "/ep.mp3", "");
        std::string dir = folder + c.trailing;
        EXPECT_EQ(feed_episode_scan(dir.c_str(), nullptr), c.scans ? 0 : -1) << c.length;
        std::string error = c.scans ? "" : "feed_episode_scan: cannot open dir " + dir;
        EXPECT_EQ(feed_last_error(), error.substr(0, pf::kErrCapacity - 1)) << c.length;
        // A refused folder leaves the feed of before: the scratch folder's own.
        EXPECT_EQ(feed_episode_count(), c.scans ? 1 : 0) << c.length;
        if (c.scans) {
            EXPECT_EQ(std::string(pf::s_feed.urls.local_root), folder) << c.length;
        }
    }
}

TEST(FolderScan, AnEmptyFolderGivesAnAudioFeedWithDefaults) {
    Show show("my-best_of 2nd");
    ASSERT_EQ(feed_episode_scan(show.dir.c_str(), nullptr), 0);
    EXPECT_EQ(feed_episode_count(), 0);
    std::string expected = std::string("{\"title\":\"My Best Of 2Nd\",\"description\":\"Personal audio playlist\",") +
                           "\"language\":\"en\",\"author\":\"My Music\",\"category\":\"Music\"," +
                           "\"explicit\":\"false\",\"artwork\":\"" + PF_DEFAULT_ARTWORK_URL + "\"}";
    EXPECT_EQ(feed_channel_json(), expected);
    EXPECT_EQ(text_of(pf::s_feed.urls.local_root), show.dir);
    EXPECT_EQ(text_of(pf::s_feed.urls.guid_prefix), pf::distribution_path(show.dir));
    EXPECT_STREQ(feed_last_error(), "");
}

TEST(FolderScan, MediaNamesBecomeEpisodesInByteOrder) {
    Show show;
    for (const char *name : {"b.mp3", "A.mp3", "a.MP3", "10.mp3", "2.mp3", "notes.txt", "c.wav", "d.mov",
                             "e.m4a", "mp3", ".mp3", "f.mp3.bak"})
        show.add(name);
    fs::create_directory(show.file("x.mp3"));
    fs::create_directory(show.file("clip.mp4"));
    ASSERT_EQ(feed_episode_scan(show.dir.c_str(), nullptr), 0);
    std::vector<std::string> expected = {".mp3", "10.mp3", "2.mp3", "A.mp3", "a.MP3", "b.mp3", "e.m4a"};
    // A file system that ignores case (Windows) holds A.mp3 and a.MP3 as one file.
    if (fs::equivalent(show.file("A.mp3"), show.file("a.MP3"))) expected.erase(expected.begin() + 4);
    EXPECT_EQ(episode_files(), expected);
    // Neither the sub-folder clip.mp4 nor the non-media names make a video feed.
    EXPECT_EQ(channel("description"), "Personal audio playlist");
}

TEST(FolderScan, OneVideoFileMakesAVideoFeed) {
    const struct {
        std::vector<const char *> files;
        const char *description, *category;
    } cases[] = {
        {{"song.mp3", "clip.MP4"}, "Personal video playlist", "TV & Film"},
        {{"clip.mp4"}, "Personal video playlist", "TV & Film"},
        {{"song.mp3", "tune.m4a"}, "Personal audio playlist", "Music"},
        {{"song.mp3", "clip.mp4.txt", "clip.mov"}, "Personal audio playlist", "Music"},
    };
    for (const auto &c : cases) {
        Show show;
        for (const char *f : c.files) show.add(f);
        ASSERT_EQ(feed_episode_scan(show.dir.c_str(), nullptr), 0);
        EXPECT_EQ(channel("description"), c.description) << c.files.back();
        EXPECT_EQ(channel("category"), c.category) << c.files.back();
        EXPECT_EQ(channel("title"), "My Show");
    }
}

TEST(FolderScan, TrailingSeparatorsAreDroppedFromTheFolderText) {
    Show show;
    show.add("ep1.mp3");
    // Backslashes separate only where the system says so.
    for (const std::string &dir : {show.dir + "/", show.dir + "//", show.dir, show.dir + "\\", show.dir + "/\\/"}) {
        if (!fs::is_directory(dir)) continue;
        ASSERT_EQ(feed_episode_scan(dir.c_str(), nullptr), 0) << dir;
        ASSERT_EQ(feed_episode_count(), 1);
        EXPECT_EQ(std::string(pf::s_feed.episodes[0].file.view()), show.dir + "/ep1.mp3") << dir;
        EXPECT_EQ(channel("title"), "My Show") << dir;
        EXPECT_EQ(text_of(pf::s_feed.urls.local_root), show.dir) << dir;
    }
}

TEST(FolderScan, ConfigurationMembersCountOnlyAsNonEmptyStrings) {
    Show show("all");
    const struct {
        const char *config, *title, *base, *root;
    } cases[] = {
        {"{}", "My Music", nullptr, nullptr},
        {"", "My Music", nullptr, nullptr},
        {"{\"playlist_name\":\"\",\"base_url\":5,\"local_root\":null}", "My Music", nullptr, nullptr},
        {"{\"playlist_name\":[\"x\"],\"base_url\":{},\"local_root\":true}", "My Music", nullptr, nullptr},
        {"{\"Playlist_Name\":\"x\",\"BASE_URL\":\"y\"}", "My Music", nullptr, nullptr},
        {"{\"playlist_name\":\"jazz nights\"}", "jazz nights", nullptr, nullptr},
        {"{\"playlist_name\":\"first\",\"playlist_name\":\"second\"}", "first", nullptr, nullptr},
        {"{\"base_url\":\"https://cdn.test/a b/\",\"local_root\":\"/srv/x/\"}", "My Music", "https://cdn.test/a b/",
         "/srv/x/"},
    };
    std::string default_base = pf::default_base_url(pf::distribution_path(show.dir));
    for (const auto &c : cases) {
        ASSERT_EQ(feed_episode_scan(show.dir.c_str(), c.config), 0) << c.config;
        EXPECT_EQ(channel("title"), c.title) << c.config;
        EXPECT_EQ(text_of(pf::s_feed.urls.base), c.base ? c.base : default_base) << c.config;
        EXPECT_EQ(text_of(pf::s_feed.urls.local_root), c.root ? c.root : show.dir) << c.config;
        EXPECT_EQ(text_of(pf::s_feed.urls.guid_prefix), pf::distribution_path(show.dir)) << c.config;
    }
}

TEST(DistributionPath, FollowsTheDistributionRootOrTheWholeFolder) {
    const struct {
        const char *folder, *path;
    } cases[] = {
        {"/data/dist/podcasts/jazz", "podcasts/jazz"},
        {"/data/dist//podcasts", "podcasts"},
        {"/data/dist", "data/dist"},
        {"/data/distant/x", "data/distant/x"},
        {"/DATA/dist/x", "DATA/dist/x"},
        {"//srv/media", "srv/media"},
        {"D:\\media\\show", "D:\\media\\show"},
        {"", ""},
    };
    for (const auto &c : cases) EXPECT_EQ(pf::distribution_path(c.folder), c.path) << c.folder;
}

TEST(DefaultBaseUrl, EncodesEachSegmentOfTheDistributionPath) {
    const std::string origin = PF_DEFAULT_ORIGIN;
    const struct {
        const char *path, *tail;
    } cases[] = {
        {"", "/"},
        {"podcasts/jazz", "/podcasts/jazz"},
        {"My Show", "/My%20Show"},
        {"a b/c&d/e%f", "/a%20b/c%26d/e%25f"},
        {"caf\xC3\xA9", "/caf%C3%A9"},
        {"D:\\media\\my show", "/D%3A%5Cmedia%5Cmy%20show"},
        {"a//b", "/a//b"},
    };
    for (const auto &c : cases) EXPECT_EQ(pf::default_base_url(c.path), origin + c.tail) << c.path;
}

struct ArtFile {
    const char *name;
    std::int64_t mtime;
    const char *sidecar;  // nullptr: none
};

TEST(FolderScan, ArtworkIsTheThumbnailOfTheNewestFileThatHasOne) {
    const struct {
        std::vector<ArtFile> files;
        const char *artwork;
    } cases[] = {
        {{{"a.mp3", 1000, "{\"thumbnail\":\"a.jpg\"}"}, {"b.mp3", 2000, "{\"thumbnail\":\"b.jpg\"}"}}, "b.jpg"},
        {{{"a.mp3", 2000, "{\"thumbnail\":\"a.jpg\"}"}, {"b.mp3", 1000, "{\"thumbnail\":\"b.jpg\"}"}}, "a.jpg"},
        {{{"b.mp3", 1500, "{\"thumbnail\":\"b.jpg\"}"}, {"a.mp3", 1500, "{\"thumbnail\":\"a.jpg\"}"}}, "a.jpg"},
        {{{"a.mp3", 1000, "{\"thumbnail\":\"a.jpg\"}"}, {"b.mp3", 2000, "{\"author\":\"B\"}"}}, "a.jpg"},
        {{{"a.mp3", 1000, "{\"thumbnail\":\"a.jpg\"}"}, {"b.mp3", 2000, "{\"thumbnail\":\"\"}"}}, "a.jpg"},
        {{{"a.mp3", 1000, "{\"thumbnail\":\"a.jpg\"}"}, {"b.txt", 2000, "{\"thumbnail\":\"b.jpg\"}"}}, "a.jpg"},
        {{{"a.mp3", 1000, "{\"thumbnail\":\"a.jpg\"}"}, {"b.mp3", 2000, "not json"}}, "a.jpg"},
        {{{"a.mp3", 0, "{\"thumbnail\":\"a.jpg\"}"}}, PF_DEFAULT_ARTWORK_URL},
        {{{"a.mp3", 1000, nullptr}}, PF_DEFAULT_ARTWORK_URL},
    };
    for (const auto &c : cases) {
        Show show;
        for (const ArtFile &f : c.files) {
            show.add(f.name);
            set_mtime(show.file(f.name), f.mtime);
            if (f.sidecar) write_file(show.file(fs::path(f.name).stem().string() + ".json"), f.sidecar);
        }
        ASSERT_EQ(feed_episode_scan(show.dir.c_str(), nullptr), 0);
        EXPECT_EQ(channel("artwork"), c.artwork) << c.files.front().name << " " << c.files.front().mtime;
    }
}

TEST(FolderScan, EpisodesCarryFileFactsProbeResultsAndSidecarMembers) {
    Show show;
    show.add("Artist - Song (Official Video).mp3", scan_test::mp3_of_seconds(10));
    set_mtime(show.file("Artist - Song (Official Video).mp3"), 1700000000);
    write_file(show.file("Artist - Song (Official Video).json"), "{\"thumbnail\":\"t.jpg\",\"author\":\"Ann\",\"title\":\"X\"}");
    show.add("clip.mp4", pf_test::iso_file(1000, 5000, {"avc1"}, 100));
    show.add("ep.json", "{\"author\":\"Bo\"}");
    show.add("ep.m4a", "garbage, no frames");
    show.add("SONG.MP3", "");
    ASSERT_EQ(feed_episode_scan(show.dir.c_str(), nullptr), 0);
    EXPECT_STREQ(feed_last_error(), "");  // the probe failures of single files are not reported
    ASSERT_EQ(feed_episode_count(), 4);

    const pf::pf_episode &song = pf::s_feed.episodes[0];
    EXPECT_EQ(std::string(song.file.view()), show.file("Artist - Song (Official Video).mp3"));
    EXPECT_STREQ(song.title.c_str(), "Artist - Song");
    EXPECT_EQ(song.size, static_cast<std::int64_t>(scan_test::mp3_of_seconds(10).size()));
    EXPECT_STREQ(song.pubDate.c_str(), "Tue, 14 Nov 2023 22:13:20 GMT");
    EXPECT_STREQ(song.mime.c_str(), "audio/mpeg");
    EXPECT_EQ(song.duration_s, 10);
    EXPECT_STREQ(song.codec.c_str(), "mp3");
    EXPECT_EQ(song.bitrate_kbps, 128);
    EXPECT_STREQ(song.image.c_str(), "t.jpg");
    EXPECT_STREQ(song.author.c_str(), "Ann");
    EXPECT_STREQ(song.description.c_str(), "");
    EXPECT_STREQ(song.url.c_str(), "");  // derived later, when the feed is read or rendered
    EXPECT_STREQ(song.guid.c_str(), "");

    const pf::pf_episode &m4a = pf::s_feed.episodes[3];
    EXPECT_STREQ(m4a.title.c_str(), "ep");
    EXPECT_STREQ(m4a.mime.c_str(), "audio/x-m4a");
    EXPECT_EQ(m4a.duration_s, 0);
    EXPECT_STREQ(m4a.codec.c_str(), "");
    EXPECT_EQ(m4a.bitrate_kbps, 0);
    EXPECT_STREQ(m4a.image.c_str(), "");
    EXPECT_STREQ(m4a.author.c_str(), "Bo");

    const pf::pf_episode &upper = pf::s_feed.episodes[1];
    EXPECT_STREQ(upper.title.c_str(), "SONG");
    EXPECT_STREQ(upper.mime.c_str(), "audio/mpeg");
    EXPECT_EQ(upper.size, 0);

    const pf::pf_episode &clip = pf::s_feed.episodes[2];
    EXPECT_STREQ(clip.mime.c_str(), "video/mp4");
    EXPECT_EQ(clip.duration_s, 5);
    EXPECT_STRNE(clip.codec.c_str(), "");
}

TEST(FolderScan, ALongFolderCutsTheFileTextButNotThePathUsed) {
    if (std::filesystem::path::preferred_separator == '\\')
        GTEST_SKIP() << "Windows' ANSI file calls stop at MAX_PATH (260 bytes) unless the host opts into long paths";
    TempDir tmp;
    std::string bytes = scan_test::mp3_of_seconds(3);
    // At 2040 bytes the sidecar name e.json just fits the loader's text.
    for (std::size_t length : {1150, 1500, 2040}) {
        std::string folder = scan_test::deep_folder(tmp, length);
        write_file(folder + "/e.mp3", bytes);
        write_file(folder + "/e.json", "{\"author\":\"Ann\"}");
        ASSERT_EQ(feed_episode_scan(folder.c_str(), nullptr), 0) << length;
        ASSERT_EQ(feed_episode_count(), 1) << length;
        EXPECT_EQ(std::string(pf::s_feed.episodes[0].file.view()), (folder + "/e.mp3").substr(0, 1023)) << length;
        EXPECT_EQ(pf::s_feed.episodes[0].size, static_cast<std::int64_t>(bytes.size())) << length;
        EXPECT_EQ(pf::s_feed.episodes[0].duration_s, 3) << length;
        EXPECT_STREQ(pf::s_feed.episodes[0].author.c_str(), "Ann") << length;
    }
}

TEST(FolderScan, ASecondScanLeavesNothingOfTheFirstButOverrides) {
    Show first("first"), second("second");
    for (const char *name : {"a1.mp3", "a2.mp4", "a3.mp3"}) first.add(name);
    write_file(first.file("a1.json"), "{\"thumbnail\":\"a1.jpg\"}");
    set_mtime(first.file("a1.mp3"), 5000);
    second.add("b1.mp3");
    ASSERT_EQ(feed_url_override("b1.mp3", "https://override.test/b1.mp3"), 0);
    ASSERT_EQ(feed_episode_scan(first.dir.c_str(), "{\"playlist_name\":\"One\",\"base_url\":\"https://one.test\"}"), 0);
    ASSERT_EQ(feed_episode_count(), 3);
    ASSERT_EQ(feed_episode_scan(second.dir.c_str(), nullptr), 0);
    EXPECT_EQ(episode_files(), std::vector<std::string>{"b1.mp3"});
    EXPECT_EQ(channel("title"), "Second");
    EXPECT_EQ(channel("artwork"), PF_DEFAULT_ARTWORK_URL);
    EXPECT_EQ(channel("description"), "Personal audio playlist");
    EXPECT_EQ(text_of(pf::s_feed.urls.base), pf::default_base_url(pf::distribution_path(second.dir)));
    EXPECT_STREQ(feed_episode_field(0, "url"), "https://override.test/b1.mp3");
}

TEST(FolderScan, TheEpisodeTableStopsAtItsCapacity) {
    Show show;
    const int files = 5000;
    char name[32];
    for (int i = 0; i < files; ++i) {
        std::snprintf(name, sizeof name, "e%04d.mp3", i);
        show.add(name);
        set_mtime(show.file(name), 1000);
    }
    // The newest thumbnail belongs to a file past the table's end: the
    // artwork still comes from it.
    write_file(show.file("e4999.json"), "{\"thumbnail\":\"last.jpg\"}");
    set_mtime(show.file("e4999.mp3"), 2000);
    ASSERT_EQ(feed_episode_scan(show.dir.c_str(), nullptr), 0);
    ASSERT_EQ(feed_episode_count(), pf::kMaxEpisodes);
    EXPECT_EQ(episode_files().front(), "e0000.mp3");
    EXPECT_EQ(episode_files().back(), "e4095.mp3");
    EXPECT_EQ(channel("artwork"), "last.jpg");
}

// Quotes, backslashes and bytes that are no UTF-8 are valid in names on
// some systems only; where a name cannot be made, the test has nothing to
// check.
TEST(FolderScan, NamesWithAwkwardBytesSurviveWhole) {
    Show show;
    const std::vector<std::string> sorted = {"ep \"1\".mp3", "ep 'two' & <3>.mp3", "ep\\back.mp3", "ep\xFF\xFE.mp3",
                                             "\xC3\xA9t\xC3\xA9 \xE2\x98\x83.mp3"};
    for (const std::string &name : sorted) {
        std::ofstream(show.file(name), std::ios::binary).put('x');
        if (!fs::is_regular_file(show.file(name)))
            GTEST_SKIP() << "this system has no file called " << name;
    }
    ASSERT_EQ(feed_episode_scan(show.dir.c_str(), nullptr), 0);
    EXPECT_EQ(episode_files(), sorted);
    EXPECT_STREQ(pf::s_feed.episodes[1].title.c_str(), "ep 'two' & <3>");
    EXPECT_STREQ(pf::s_feed.episodes[2].title.c_str(), "ep\\back");
    EXPECT_STREQ(pf::s_feed.episodes[4].title.c_str(), "\xC3\xA9t\xC3\xA9 \xE2\x98\x83");
    EXPECT_EQ(pf::s_feed.episodes[2].size, 1);
}

}  // namespace
