// Folders and sidecars named as Windows hosts name them: drive letters,
// backslashes, trailing and mixed separators. Spellings that only name the
// folder on Windows are skipped elsewhere.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "channel/channel.h"
#include "core/feed_state.h"
#include "episodes/episodes.h"
#include "quorvane_podcastfeed.h"
#include "support/paths.h"
#include "support/temp_dir.h"
#include "tests/scan/scan_support.h"

namespace {

namespace fs = std::filesystem;
using pf_test::spellings_of_file;
using pf_test::spellings_of_folder;

// A show folder with two episodes, a sidecar and a sub-folder that looks like
// a media file, inside a folder whose name holds a dot.
struct DottedShow {
    pf_test::TempDir tmp;
    std::string dir = tmp.file("media.d/my_show");
    DottedShow() {
        fs::create_directories(dir + "/extra.mp3");
        pf_test::write_file(dir + "/ep1.mp3", scan_test::mp3_of_seconds(2));
        pf_test::write_file(dir + "/ep2.mp3", scan_test::mp3_of_seconds(3));
        pf_test::write_file(dir + "/ep2.json", R"({"thumbnail":"https://img.test/ep2.jpg","author":"Ann"})");
    }
};

TEST(WindowsFolderScan, EverySpellingOfTheFolderGivesTheSameFeed) {
    DottedShow show;
    struct Case {
        std::string dir;
        std::string folder_text;  // the folder as episode files carry it
    };
    std::vector<Case> cases;
    for (const std::string &dir : spellings_of_folder(show.dir))
        cases.push_back({dir, dir.substr(0, dir.find_last_not_of("/\\") + 1)});
    for (const auto &c : cases) {
        ASSERT_EQ(feed_episode_scan(c.dir.c_str(), nullptr), 0) << c.dir << ": " << feed_last_error();
        ASSERT_EQ(feed_episode_count(), 2) << c.dir;
        EXPECT_EQ(std::string(pf::s_feed.episodes[0].file.view()), c.folder_text + "/ep1.mp3") << c.dir;
        EXPECT_EQ(std::string(pf::s_feed.episodes[1].file.view()), c.folder_text + "/ep2.mp3") << c.dir;
        EXPECT_GT(pf::s_feed.episodes[0].size, 0) << c.dir;
        EXPECT_STREQ(pf::s_feed.episodes[1].image.c_str(), "https://img.test/ep2.jpg") << c.dir;
        EXPECT_STREQ(pf::s_feed.episodes[1].author.c_str(), "Ann") << c.dir;
        EXPECT_STREQ(pf::channel_lookup(pf::s_feed.channel, "title"), "My Show") << c.dir;
        EXPECT_STREQ(pf::channel_lookup(pf::s_feed.channel, "artwork"), "https://img.test/ep2.jpg") << c.dir;
        EXPECT_STREQ(pf::s_feed.urls.local_root, c.folder_text.c_str()) << c.dir;
    }
}

TEST(WindowsFolderScan, AFileOrAMissingFolderCannotBeListed) {
    DottedShow show;
    for (const std::string &dir : {show.dir + "/ep1.mp3", show.dir + "/ep1.mp3/", show.dir + "/missing\\"}) {
        EXPECT_EQ(feed_episode_scan(dir.c_str(), nullptr), -1) << dir;
        EXPECT_EQ(std::string(feed_last_error()), "feed_episode_scan: cannot open dir " + dir);
    }
}

TEST(WindowsSidecars, StayInTheMediaFilesFolderWhateverTheSeparators) {
    DottedShow show;
    std::vector<std::string> spellings = spellings_of_file(show.dir, "ep3.mp3");
    // Without an extension the whole last component is the stem.
    if (pf_test::kWindows) spellings.push_back(show.dir + "\\ep3");
    int round = 0;
    for (const std::string &media : spellings) {
        const std::string meta = "{\"round\":" + std::to_string(++round) + "}";
        ASSERT_EQ(feed_sidecar_write(media.c_str(), meta.c_str()), 0) << media << ": " << feed_last_error();
        EXPECT_EQ(pf_test::read_file(show.dir + "/ep3.json"), meta) << media;
        EXPECT_STREQ(feed_sidecar_read(media.c_str()), meta.c_str()) << media;
        EXPECT_FALSE(fs::exists(show.tmp.file("media.json"))) << media;
    }
}

}  // namespace
