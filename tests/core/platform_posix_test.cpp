// The POSIX side of the operating-system interface: FIFOs and symbolic links.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <algorithm>
#include <filesystem>

#include "core/platform.h"
#include "support/temp_dir.h"

using pf_test::TempDir;

TEST(OpenForReadPosix, RefusesAFifoWithoutBlocking) {
    TempDir dir;
    ASSERT_EQ(mkfifo(dir.file("fifo").c_str(), 0600), 0);
    EXPECT_FALSE(pf::open_for_read(dir.file("fifo").c_str())) << "a FIFO without writer must not block";
    EXPECT_FALSE(pf::Folder(dir.path()).open(dir.file("fifo").c_str())) << "nor by its name in an open folder";
    std::string out = "kept";
    EXPECT_EQ(pf::read_small_file(dir.file("fifo").c_str(), 100, &out), -1);
    EXPECT_EQ(out, "kept");
}

TEST(ListDirPosix, FollowsLinksToFolders) {
    TempDir dir;
    pf_test::write_file(dir.file("b.mp3"), "");
    std::filesystem::create_directory(dir.file("sub"));
    std::filesystem::create_directory_symlink(dir.file("sub"), dir.file("link_to_sub"));
    std::filesystem::create_symlink(dir.file("b.mp3"), dir.file("link_to_file"));
    std::filesystem::create_symlink(dir.file("gone"), dir.file("dangling"));

    std::vector<pf::DirEntry> entries;
    ASSERT_EQ(pf::list_dir(dir.path().c_str(), &entries), 0);
    std::sort(entries.begin(), entries.end(), [](const auto &a, const auto &b) { return a.name < b.name; });
    const std::vector<std::pair<std::string, bool>> want = {
        {"b.mp3", false}, {"dangling", false}, {"link_to_file", false}, {"link_to_sub", true}, {"sub", true},
    };
    ASSERT_EQ(entries.size(), want.size());
    for (std::size_t i = 0; i < want.size(); ++i) {
        EXPECT_EQ(entries[i].name, want[i].first);
        EXPECT_EQ(entries[i].is_dir, want[i].second) << entries[i].name;
    }
}
