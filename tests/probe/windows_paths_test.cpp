// Probing files named as Windows hosts name them: backslashes, mixed and
// trailing separators, dots in folder names. Spellings that only name the
// file on Windows are skipped elsewhere.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "support/paths.h"
#include "support/media_builders.h"
#include "support/temp_dir.h"
#include "tests/probe/probe_support.h"

namespace pf_test {
namespace {

struct Folder {
    TempDir tmp;
    std::string dir = tmp.file("shows.d");
    std::string mp3 = mpeg_frames(MpegFrame{}, 100);
    Folder() {
        std::filesystem::create_directories(dir + "/clip.mp3");
        write_file(dir + "/Ep 1.MP3", mp3);
        write_file(dir + "/README", "12345");
    }
};

TEST(WindowsProbePaths, EverySpellingOfAFileProbesTheSame) {
    Folder f;
    for (const std::string &path : spellings_of_file(f.dir, "Ep 1.MP3")) {
        const Probed p = probe_path(path);
        EXPECT_EQ(p.error, "") << path << ": " << p.text;
        EXPECT_EQ(p.size, static_cast<long long>(f.mp3.size())) << path;
        EXPECT_EQ(p.mime, "audio/mpeg") << path;
        EXPECT_GT(p.duration_s, 0) << path;
    }
}

TEST(WindowsProbePaths, FailuresFollowTheLastComponent) {
    Folder f;
    struct Case {
        std::string path;
        std::string error;
        long long size;
    };
    std::vector<Case> cases;
    // The dot of the folder name is no extension of the file.
    for (const std::string &p : spellings_of_file(f.dir, "README")) cases.push_back({p, "unsupported extension (none)", 5});
    // A folder whose name looks like a media file is not one.
    for (const std::string &p : spellings_of_file(f.dir, "clip.mp3")) cases.push_back({p, "open failed", 0});
    // A trailing separator: the extension is not at the end any more.
    for (const std::string &p : spellings_as_folder(f.dir, "clip.mp3"))
        cases.push_back({p, "unsupported extension (none)", 0});
    for (const auto &c : cases) {
        const Probed p = probe_path(c.path);
        EXPECT_EQ(p.error, c.error) << c.path << ": " << p.text;
        EXPECT_EQ(p.size, c.size) << c.path;
    }
}

TEST(WindowsProbePaths, AFileWithATrailingSeparatorDoesNotExist) {
    Folder f;
    for (const std::string &path : spellings_as_folder(f.dir, "Ep 1.MP3")) {
        const Probed p = probe_path(path);
        EXPECT_EQ(p.error.rfind("stat failed: ", 0), 0u) << path << ": " << p.text;
        EXPECT_EQ(p.size, 0) << path;
    }
}

}  // namespace
}  // namespace pf_test
