// Paths as Windows hosts write them (backslashes, drive letters, trailing and
// mixed separators) through the path helpers and the file-system layer. Cases
// that only mean something on one system say so and are skipped elsewhere.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "core/platform.h"
#include "core/text.h"
#include "support/paths.h"
#include "support/temp_dir.h"

namespace {

using pf_test::kWindows;
using pf_test::spellings_as_folder;
using pf_test::spellings_of_file;
using pf_test::spellings_of_folder;

std::vector<std::string> names_of(const std::vector<pf::DirEntry> &entries) {
    std::vector<std::string> names;
    for (const auto &e : entries) names.push_back(e.name + (e.is_dir ? "/" : ""));
    std::sort(names.begin(), names.end());
    return names;
}

// A folder holding one file and one sub-folder, spelled in several ways.
struct ShowFolder {
    pf_test::TempDir tmp;
    std::string show = tmp.file("my_show");
    ShowFolder() {
        std::filesystem::create_directories(show + "/season 1");
        pf_test::write_file(show + "/ep1.mp3", "12345");
    }
};

TEST(WindowsPathText, BaseNameTakesWhatFollowsTheLastSeparatorOfEitherKind) {
    const struct {
        const char *path, *base;
    } cases[] = {
        {"D:\\media\\my_show\\ep1.mp3", "ep1.mp3"},
        {"D:\\media\\my_show/ep1.mp3", "ep1.mp3"},
        {"D:/media/my_show\\ep1.mp3", "ep1.mp3"},
        {"D:\\media\\my_show\\", ""},
        {"D:\\media\\my_show/\\", ""},
        {"\\\\server\\share\\ep1.mp3", "ep1.mp3"},
        {"D:\\", ""},
    };
    for (const auto &c : cases) EXPECT_STREQ(pf::base_name(c.path), c.base) << c.path;
}

TEST(WindowsPathText, StripExtIgnoresDotsInBackslashedFolders) {
    const struct {
        const char *path, *stem;
    } cases[] = {
        {"D:\\media\\my.show\\ep1", "D:\\media\\my.show\\ep1"},
        {"D:\\media\\my.show\\ep1.mp3", "D:\\media\\my.show\\ep1"},
        {"D:\\media\\my.show/ep1.tar.mp3", "D:\\media\\my.show/ep1.tar"},
        {"D:/media/my.show\\.hidden", "D:/media/my.show\\.hidden"},
        {"D:\\media\\my_show\\ep1.", "D:\\media\\my_show\\ep1"},
    };
    for (const auto &c : cases) {
        pf::HeapText stem = pf::strip_ext(c.path);
        ASSERT_TRUE(stem) << c.path;
        EXPECT_STREQ(stem.get(), c.stem) << c.path;
    }
}

TEST(WindowsFileStatus, FolderAcceptsTrailingSeparatorsAndFileRefusesThem) {
    ShowFolder f;
    struct Case {
        std::string path;
        bool found, is_dir;
    };
    std::vector<Case> cases = {{f.show + "/missing.mp3", false, false}};
    for (const std::string &p : spellings_of_folder(f.show)) cases.push_back({p, true, true});
    for (const std::string &p : spellings_of_file(f.show, "ep1.mp3")) cases.push_back({p, true, false});
    for (const std::string &p : spellings_as_folder(f.show, "ep1.mp3")) cases.push_back({p, false, false});
    for (const auto &c : cases) {
        pf::FileStatus st;
        const int rc = pf::file_status(c.path.c_str(), &st);
        ASSERT_EQ(rc == 0, c.found) << c.path;
        if (!c.found) continue;
        EXPECT_EQ(st.is_dir, c.is_dir) << c.path;
        EXPECT_EQ(st.is_regular, !c.is_dir) << c.path;
        EXPECT_EQ(st.size, c.is_dir ? 0 : 5) << c.path;
    }
}

TEST(WindowsFileStatus, ReportsTheModificationTimeInUtcSeconds) {
    ShowFolder f;
    pf_test::set_mtime(f.show + "/ep1.mp3", 1700000000);
    pf::FileStatus st;
    ASSERT_EQ(pf::file_status((f.show + "/ep1.mp3").c_str(), &st), 0);
    EXPECT_EQ(st.mtime, 1700000000);
}

TEST(WindowsFileStatus, DriveRootIsAFolder) {
    if (!kWindows) GTEST_SKIP() << "drive letters exist on Windows only";
    const std::string temp = std::filesystem::temp_directory_path().string();
    ASSERT_GE(temp.size(), 2u);
    ASSERT_EQ(temp[1], ':') << temp;
    const std::string drive = temp.substr(0, 2);
    for (const std::string &root : {drive + "\\", drive + "/", drive + "\\\\", drive + "\\/"}) {
        pf::FileStatus st;
        ASSERT_EQ(pf::file_status(root.c_str(), &st), 0) << root;
        EXPECT_TRUE(st.is_dir) << root;
    }
}

TEST(WindowsListDir, EverySpellingOfAFolderListsTheSameEntries) {
    ShowFolder f;
    const std::vector<std::string> expected = {"ep1.mp3", "season 1/"};
    for (const std::string &dir : spellings_of_folder(f.show)) {
        std::vector<pf::DirEntry> entries = {{"stale", false}};
        ASSERT_EQ(pf::list_dir(dir.c_str(), &entries), 0) << dir;
        EXPECT_EQ(names_of(entries), expected) << dir;
    }
}

TEST(WindowsListDir, RefusesWhatIsNoFolder) {
    ShowFolder f;
    const std::string cases[] = {f.show + "/missing", f.show + "/ep1.mp3", f.show + "/missing/deeper"};
    for (const auto &dir : cases) {
        std::vector<pf::DirEntry> entries;
        EXPECT_EQ(pf::list_dir(dir.c_str(), &entries), -1) << dir;
        EXPECT_TRUE(entries.empty()) << dir;
    }
}

TEST(WindowsListDir, ListsAnEmptyFolderAndADriveRoot) {
    ShowFolder f;
    std::vector<pf::DirEntry> entries;
    ASSERT_EQ(pf::list_dir((f.show + "/season 1").c_str(), &entries), 0);
    EXPECT_TRUE(entries.empty());
    if (!kWindows) GTEST_SKIP() << "drive letters exist on Windows only";
    const std::string root = std::filesystem::temp_directory_path().string().substr(0, 2) + "\\";
    ASSERT_EQ(pf::list_dir(root.c_str(), &entries), 0) << root;
    EXPECT_FALSE(entries.empty()) << root;
    for (const auto &e : entries) EXPECT_TRUE(e.name != "." && e.name != "..");
}

// The null device of each system: a name that opens, but not as a file.
const char *null_device() { return kWindows ? "NUL" : "/dev/null"; }

TEST(WindowsDevices, AreNeitherReadNorReplacedAsFiles) {
    EXPECT_FALSE(pf::open_for_read(null_device()));
    std::string text = "kept";
    EXPECT_EQ(pf::read_small_file(null_device(), 100, &text), -1);
    EXPECT_EQ(text, "kept");
    // A device cannot be renamed over; it takes the bytes as it is.
    EXPECT_EQ(pf::replace_file(null_device(), "<rss/>"), pf::ReplaceResult::ok);
}

TEST(WindowsReplaceFile, ReplacesThroughAnySpellingAndLeavesNoTemporaryFile) {
    ShowFolder f;
    int round = 0;
    for (const std::string &path : spellings_of_file(f.show, "feed.xml")) {
        const std::string bytes = "<rss>" + std::to_string(++round) + "</rss>";
        ASSERT_EQ(pf::replace_file(path.c_str(), bytes), pf::ReplaceResult::ok) << path;
        EXPECT_EQ(pf_test::read_file(f.show + "/feed.xml"), bytes) << path;
        std::vector<pf::DirEntry> entries;
        ASSERT_EQ(pf::list_dir(f.show.c_str(), &entries), 0);
        EXPECT_EQ(names_of(entries), (std::vector<std::string>{"ep1.mp3", "feed.xml", "season 1/"})) << path;
    }
}

TEST(WindowsReplaceFile, FailsWithTheSystemReasonAndChangesNothing) {
    ShowFolder f;
    const struct {
        std::string path;
    } cases[] = {
        {f.show + "/missing/feed.xml"},
        {f.show + "/season 1"},
    };
    for (const auto &c : cases) {
        EXPECT_EQ(pf::replace_file(c.path.c_str(), "<rss/>"), pf::ReplaceResult::open_failed) << c.path;
        EXPECT_NE(pf::last_os_error(), 0u) << c.path;
    }
    std::vector<pf::DirEntry> entries;
    ASSERT_EQ(pf::list_dir(f.show.c_str(), &entries), 0);
    EXPECT_EQ(names_of(entries), (std::vector<std::string>{"ep1.mp3", "season 1/"}));
}

TEST(WindowsReplaceFile, WritesEmptyAndLargeDocumentsWhole) {
    ShowFolder f;
    const std::string path = f.show + "/feed.xml";
    for (const std::string &bytes : {std::string(), std::string(3 << 20, 'x'), std::string("a\nb\r\n")}) {
        ASSERT_EQ(pf::replace_file(path.c_str(), bytes), pf::ReplaceResult::ok);
        EXPECT_EQ(pf_test::read_file(path), bytes) << bytes.size();
    }
}

TEST(WindowsReplaceFile, AFileHeldOpenByAReaderIsReplacedWholeOrNotAtAll) {
    ShowFolder f;
    const std::string path = f.show + "/feed.xml";
    pf_test::write_file(path, "old");
    std::ifstream reader(path, std::ios::binary);
    ASSERT_TRUE(reader);
    // Windows refuses to move over a file that another program holds open
    // without sharing deletion; POSIX renames under the reader.
    const pf::ReplaceResult expected = kWindows ? pf::ReplaceResult::write_failed : pf::ReplaceResult::ok;
    EXPECT_EQ(pf::replace_file(path.c_str(), "new"), expected);
    if (kWindows) {
        EXPECT_NE(pf::last_os_error(), 0u);
    }
    EXPECT_EQ(pf_test::read_file(path), kWindows ? "old" : "new");
    std::vector<pf::DirEntry> entries;
    ASSERT_EQ(pf::list_dir(f.show.c_str(), &entries), 0);
    EXPECT_EQ(names_of(entries), (std::vector<std::string>{"ep1.mp3", "feed.xml", "season 1/"}));
}

TEST(WindowsReplaceFile, ALinkKeepsPointingAtTheReplacedFile) {
    ShowFolder f;
    const std::string real = f.show + "/real.xml", link = f.show + "/feed.xml";
    pf_test::write_file(real, "old");
    std::error_code ec;
    std::filesystem::create_symlink(real, link, ec);
    if (ec) GTEST_SKIP() << "no symbolic links here: " << ec.message();
    ASSERT_EQ(pf::replace_file(link.c_str(), "new"), pf::ReplaceResult::ok);
    EXPECT_TRUE(std::filesystem::is_symlink(link));
    EXPECT_EQ(pf_test::read_file(real), "new");
    std::vector<pf::DirEntry> entries;
    ASSERT_EQ(pf::list_dir(f.show.c_str(), &entries), 0);
    EXPECT_EQ(names_of(entries), (std::vector<std::string>{"ep1.mp3", "feed.xml", "real.xml", "season 1/"}));
}

}  // namespace
