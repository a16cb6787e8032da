// The operating-system interface: what holds on every system.
#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>

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

    pf::File f = pf::open_for_read(path.c_str());
    ASSERT_TRUE(f);
    ASSERT_EQ(pf::seek64(f.get(), 4'500'000'000LL, SEEK_SET), 0);
    EXPECT_EQ(pf::tell64(f.get()), 4'500'000'000LL);
    ASSERT_EQ(pf::seek64(f.get(), 0, SEEK_END), 0);
    EXPECT_EQ(pf::tell64(f.get()), 5'000'000'123LL);
    EXPECT_EQ(pf::stream_length(f.get()), 5'000'000'123LL);
    EXPECT_EQ(pf::tell64(f.get()), 0);
}

TEST(OpenForRead, OpensRegularFilesOnly) {
    TempDir dir;
    pf_test::write_file(dir.file("f.txt"), "data");
    pf::File f = pf::open_for_read(dir.file("f.txt").c_str());
    ASSERT_TRUE(f);
    char buf[8] = {};
    EXPECT_EQ(std::fread(buf, 1, sizeof buf, f.get()), 4u);
    EXPECT_STREQ(buf, "data");

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
