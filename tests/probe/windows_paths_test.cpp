// Probing files named as Windows hosts name them: backslashes, mixed and
// trailing separators, dots in folder names. Spellings that only name the
// file on Windows are skipped elsewhere.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>

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
    struct Case {
        std::string path;
        bool windows_only;
    };
    const Case cases[] = {
        {f.dir + "/Ep 1.MP3", false},
        {f.dir + "//Ep 1.MP3", false},
        {backslashed(f.dir) + "\\Ep 1.MP3", true},
        {backslashed(f.dir) + "/Ep 1.MP3", true},
        {f.dir + "\\Ep 1.MP3", true},
    };
    for (const auto &c : cases) {
        if (c.windows_only && !kWindows) continue;
        const Probed p = probe_path(c.path);
        EXPECT_EQ(p.error, "") << c.path << ": " << p.text;
        EXPECT_EQ(p.size, static_cast<long long>(f.mp3.size())) << c.path;
        EXPECT_EQ(p.mime, "audio/mpeg") << c.path;
        EXPECT_GT(p.duration_s, 0) << c.path;
    }
}

TEST(WindowsProbePaths, FailuresFollowTheLastComponent) {
    Folder f;
    struct Case {
        std::string path;
        std::string error;
        long long size;
        bool windows_only;
    };
    const Case cases[] = {
        // The dot of the folder name is no extension of the file.
        {f.dir + "/README", "unsupported extension (none)", 5, false},
        {backslashed(f.dir) + "\\README", "unsupported extension (none)", 5, true},
        // A folder whose name looks like a media file is not one.
        {f.dir + "/clip.mp3", "open failed", 0, false},
        {backslashed(f.dir) + "\\clip.mp3", "open failed", 0, true},
        // A trailing separator: the extension is not at the end any more.
        {f.dir + "/clip.mp3/", "unsupported extension (none)", 0, false},
        {backslashed(f.dir) + "\\clip.mp3\\", "unsupported extension (none)", 0, true},
    };
    for (const auto &c : cases) {
        if (c.windows_only && !kWindows) continue;
        const Probed p = probe_path(c.path);
        EXPECT_EQ(p.error, c.error) << c.path << ": " << p.text;
        EXPECT_EQ(p.size, c.size) << c.path;
    }
}

TEST(WindowsProbePaths, AFileWithATrailingSeparatorDoesNotExist) {
    Folder f;
    struct Case {
        std::string path;
        bool windows_only;
    };
    const Case cases[] = {
        {f.dir + "/Ep 1.MP3/", false},
        {backslashed(f.dir) + "\\Ep 1.MP3\\", true},
    };
    for (const auto &c : cases) {
        if (c.windows_only && !kWindows) continue;
        const Probed p = probe_path(c.path);
        EXPECT_EQ(p.error.rfind("stat failed: ", 0), 0u) << c.path << ": " << p.text;
        EXPECT_EQ(p.size, 0) << c.path;
    }
}

}  // namespace
}  // namespace pf_test
