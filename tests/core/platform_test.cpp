// The operating-system interface: what holds on every system.
#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <fstream>
#include <string>

#include "core/platform.h"
#include "support/temp_dir.h"

using pf_test::TempDir;

TEST(FileStatus, ReportsSizeTimeAndKindWithFoldersAtSizeZero) {
    TempDir dir;
    pf_test::write_file(dir.file("a.bin"), std::string(1234, 'x'));
    pf_test::set_mtime(dir.file("a.bin"), 1700000000);

    pf::FileStatus st;
    ASSERT_EQ(pf::file_status(dir.file("a.bin").c_str(), &st), 0);
    EXPECT_EQ(st.size, 1234);
    EXPECT_EQ(st.mtime, 1700000000);
    EXPECT_TRUE(st.is_regular);
    EXPECT_FALSE(st.is_dir);

    ASSERT_EQ(pf::file_status(dir.path().c_str(), &st), 0);
    EXPECT_EQ(st.size, 0);
    EXPECT_TRUE(st.is_dir);
    EXPECT_FALSE(st.is_regular);

    EXPECT_EQ(pf::file_status(dir.file("missing").c_str(), &st), -1);
    EXPECT_EQ(pf::os_errno(), ENOENT);
    EXPECT_EQ(pf::file_status(nullptr, &st), -1);
}

TEST(FileStatus, SizesBeyondFourGigabytesStayExact) {
    TempDir dir;
    const std::string path = dir.file("sparse.bin");
    pf_test::write_file(path, "");
    std::error_code ec;
    std::filesystem::resize_file(path, 5'000'000'123LL, ec);
    if (ec) GTEST_SKIP() << "no sparse files here: " << ec.message();

    pf::FileStatus st;
    ASSERT_EQ(pf::file_status(path.c_str(), &st), 0);
    EXPECT_EQ(st.size, 5'000'000'123LL);

    // Bytes past 4 GiB: an offset cut to 32 bits would read zeros elsewhere.
    {
        std::fstream out(path, std::ios::in | std::ios::out | std::ios::binary);
        out.seekp(4'500'000'000LL);
        out << "xyz";
    }
    pf::ReadHandle f = pf::open_for_read(path.c_str());
    ASSERT_TRUE(f);
    EXPECT_EQ(f.status().size, 5'000'000'123LL);
    char buf[8] = {};
    ASSERT_EQ(f.read_at(4'500'000'000LL, buf, 3), 3);
    EXPECT_STREQ(buf, "xyz");
    EXPECT_EQ(f.read_at(5'000'000'120LL, buf, sizeof buf), 3);
    EXPECT_EQ(f.read_at(5'000'000'123LL, buf, sizeof buf), 0);
}

TEST(OpenForRead, OpensRegularFilesOnly) {
    TempDir dir;
    pf_test::write_file(dir.file("f.txt"), "data");
    pf::ReadHandle f = pf::open_for_read(dir.file("f.txt").c_str());
    ASSERT_TRUE(f);
    EXPECT_EQ(f.status().size, 4);
    EXPECT_TRUE(f.status().is_regular);
    char buf[8] = {};
    EXPECT_EQ(f.read_at(0, buf, sizeof buf), 4);
    EXPECT_STREQ(buf, "data");
    EXPECT_EQ(f.read_at(1, buf, 2), 2);
    EXPECT_EQ(std::string(buf, 2), "at");

    EXPECT_FALSE(pf::open_for_read(dir.path().c_str()));
    EXPECT_FALSE(pf::open_for_read(dir.file("missing").c_str()));
    EXPECT_EQ(pf::os_errno(), ENOENT);
    EXPECT_FALSE(pf::open_for_read(nullptr));
}

TEST(ReadSmallFile, ReadsWholeFilesUpToTheLimit) {
    TempDir dir;
    const std::string bytes("a\0b\nc", 5);
    pf_test::write_file(dir.file("small"), bytes);
    std::string out;
    ASSERT_EQ(pf::read_small_file(dir.file("small").c_str(), 5, &out), 0);
    EXPECT_EQ(out, bytes);

    out = "kept";
    EXPECT_EQ(pf::read_small_file(dir.file("small").c_str(), 4, &out), -2);
    EXPECT_EQ(out, "kept");
    EXPECT_EQ(pf::read_small_file(dir.file("missing").c_str(), 10, &out), -1);
    EXPECT_EQ(pf::read_small_file(dir.path().c_str(), 10, &out), -1);
    EXPECT_EQ(out, "kept");

    pf_test::write_file(dir.file("empty"), "");
    ASSERT_EQ(pf::read_small_file(dir.file("empty").c_str(), 0, &out), 0);
    EXPECT_EQ(out, "");

    // Longer than any one read of the stream.
    const std::string large(100'001, 'x');
    pf_test::write_file(dir.file("large"), large);
    ASSERT_EQ(pf::read_small_file(dir.file("large").c_str(), 100'001, &out), 0);
    EXPECT_EQ(out, large);

    // A file that grew after it was opened (and measured): the limit holds
    // for what is there when it is read.
    for (const std::int64_t limit : {15, 14}) {
        pf_test::write_file(dir.file("growing"), "12345");
        pf::ReadHandle opened = pf::open_for_read(dir.file("growing").c_str());
        ASSERT_TRUE(opened);
        pf_test::write_file(dir.file("growing"), "1234567890abcde");
        out = "kept";
        EXPECT_EQ(pf::read_small_file(opened, limit, &out), limit == 15 ? 0 : -2) << limit;
        EXPECT_EQ(out, limit == 15 ? "1234567890abcde" : "kept") << limit;
    }
}

TEST(CompareNocase, IgnoresAsciiCaseOnly) {
    const struct {
        const char *a, *b;
        int sign;
    } cases[] = {
        {"MP3", "mp3", 0}, {"Jan", "JAN", 0}, {"", "", 0},       {"a", "b", -1},
        {"B", "a", 1},     {"ab", "a", 1},    {"\xC3\xA9", "\xC3\x89", 1},  // no case folding beyond ASCII
        {"[", "a", -1},  // compared as lower case, as the Windows runtime does
    };
    for (const auto &c : cases) {
        const int r = pf::compare_nocase(c.a, c.b);
        EXPECT_EQ((r > 0) - (r < 0), c.sign) << c.a << " vs " << c.b;
    }
}

TEST(NowUtc, IsTheCurrentTime) {
    const std::int64_t before = static_cast<std::int64_t>(std::time(nullptr));
    const std::int64_t now = pf::now_utc();
    EXPECT_GE(now, before);
    EXPECT_LE(now, before + 5);
}

TEST(ListDir, NamesEveryEntryWithItsKind) {
    TempDir dir;
    pf_test::write_file(dir.file("b.mp3"), "");
    pf_test::write_file(dir.file(".hidden"), "");
    std::filesystem::create_directory(dir.file("sub"));

    std::vector<pf::DirEntry> entries{{"stale", true}};
    ASSERT_EQ(pf::list_dir(dir.path().c_str(), &entries), 0);
    std::sort(entries.begin(), entries.end(), [](const auto &a, const auto &b) { return a.name < b.name; });
    ASSERT_EQ(entries.size(), 3u);
    EXPECT_EQ(entries[0].name, ".hidden");
    EXPECT_EQ(entries[1].name, "b.mp3");
    EXPECT_EQ(entries[2].name, "sub");
    EXPECT_FALSE(entries[0].is_dir);
    EXPECT_FALSE(entries[1].is_dir);
    EXPECT_TRUE(entries[2].is_dir);

    EXPECT_EQ(pf::list_dir(dir.file("missing").c_str(), &entries), -1);
    EXPECT_EQ(pf::list_dir(dir.file("b.mp3").c_str(), &entries), -1);
    EXPECT_EQ(pf::list_dir(std::string(70000, 'd').c_str(), &entries), -1);
}

TEST(StatusWalk, AnswersAsFileStatusForEveryPathInTurn) {
    TempDir dir;
    pf_test::write_file(dir.file("a.mp3"), "a");
    std::filesystem::create_directory(dir.file("sub"));
    pf_test::write_file(dir.file("sub/b.mp3"), "b");
    pf::StatusWalk walk;
    // Within one folder, across folders and back, missing names and folders,
    // a folder given as a file, and a name gone since its folder was opened.
    const std::string paths[] = {
        dir.file("a.mp3"), dir.file("missing.mp3"), dir.file("sub/b.mp3"), dir.file("a.mp3"),
        dir.file("nowhere/a.mp3"), dir.file("sub"), dir.file("sub/"), "a.mp3", "",
    };
    for (const std::string &path : paths) {
        pf::FileStatus st;
        EXPECT_EQ(walk.exists(path.c_str()), pf::file_status(path.c_str(), &st) == 0) << path;
    }
    std::filesystem::remove(dir.file("a.mp3"));
    EXPECT_FALSE(walk.exists(dir.file("a.mp3").c_str())) << "the status at this moment, not when the folder opened";
}

TEST(Folder, AnswersAsTheWholePathDoes) {
    TempDir dir;
    pf_test::write_file(dir.file("a.mp3"), "abc");
    pf_test::set_mtime(dir.file("a.mp3"), 1700000000);
    std::filesystem::create_directory(dir.file("sub"));
    pf_test::write_file(dir.file("sub/b.mp3"), "b");
    // The folder of the files, its sub-folder, a folder that cannot be opened
    // (the empty text: its paths begin at the root, which the whole path still
    // reaches) and one that is missing.
    const std::string folders[] = {dir.path(), dir.file("sub"), "", dir.file("missing")};
    const std::string names[] = {"a.mp3", "missing.mp3", "sub", "sub/b.mp3", "sub/", ""};
    for (const std::string &folder_path : folders) {
        const pf::Folder folder(folder_path);
        EXPECT_EQ(folder.path_of("x.mp3"), folder_path + "/x.mp3");
        for (const std::string &name : names) {
            const std::string path = dir.file(name);
            pf::FileStatus want, got;
            const int want_rc = pf::file_status(path.c_str(), &want);
            ASSERT_EQ(folder.status(path.c_str(), &got), want_rc) << folder_path << " | " << path;
            if (want_rc == 0) {
                EXPECT_EQ(got.size, want.size) << path;
                EXPECT_EQ(got.mtime, want.mtime) << path;
                EXPECT_EQ(got.is_dir, want.is_dir) << path;
            }
            const pf::ReadHandle whole = pf::open_for_read(path.c_str());
            const pf::ReadHandle by_name = folder.open(path.c_str());
            ASSERT_EQ(static_cast<bool>(by_name), static_cast<bool>(whole)) << folder_path << " | " << path;
            if (whole) {
                EXPECT_EQ(by_name.status().size, whole.status().size) << path;
                EXPECT_EQ(by_name.status().mtime, whole.status().mtime) << path;
            }
        }
        EXPECT_EQ(folder.status(nullptr, nullptr), -1);
        EXPECT_FALSE(folder.open(nullptr));
    }
}
