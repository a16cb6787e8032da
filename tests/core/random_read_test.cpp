// Streams for readers that jump about a file: every seek and read lands
// where a plain stream's would, across block edges, backwards and at the end.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "core/platform.h"
#include "support/temp_dir.h"

using pf_test::TempDir;

namespace {

// Bytes that differ at every offset within a block, so a read from the wrong
// place never matches by chance.
std::string numbered_bytes(std::size_t n) {
    std::string s(n, '\0');
    for (std::size_t i = 0; i < n; ++i) s[i] = static_cast<char>((i * 7 + i / 251) & 0xFF);
    return s;
}

}  // namespace

TEST(RandomRead, SeeksAndReadsLandWhereTheBytesAre) {
    TempDir dir;
    const std::string bytes = numbered_bytes(40000);
    const std::string path = dir.file("a.bin");
    pf_test::write_file(path, bytes);
    pf::File f = pf::open_for_random_read(path.c_str());
    ASSERT_TRUE(f);
    const struct {
        const char *what;
        long long offset;
        int whence;
        std::size_t length;
        long long position;  // where the read starts, as tell64 gives it
    } steps[] = {
        {"from the start", 0, SEEK_SET, 8, 0},
        {"on from there", 0, SEEK_CUR, 16, 8},
        {"across the first block edge", 8190, SEEK_SET, 8, 8190},
        {"far ahead", 30000, SEEK_SET, 100, 30000},
        {"back into an earlier block", 5, SEEK_SET, 3, 5},
        {"relative forward over blocks", 20000, SEEK_CUR, 4, 20008},
        {"a long read over several blocks", 100, SEEK_SET, 20000, 100},
        {"from the end", -10, SEEK_END, 10, 39990},
    };
    for (const auto &s : steps) {
        ASSERT_EQ(pf::seek64(f.get(), s.offset, s.whence), 0) << s.what;
        ASSERT_EQ(pf::tell64(f.get()), s.position) << s.what;
        std::string got(s.length, '\0');
        ASSERT_EQ(std::fread(got.data(), 1, s.length, f.get()), s.length) << s.what;
        EXPECT_EQ(got, bytes.substr(static_cast<std::size_t>(s.position), s.length)) << s.what;
    }
}

TEST(RandomRead, TheEndAndBeforeTheStart) {
    TempDir dir;
    const std::string path = dir.file("a.bin");
    pf_test::write_file(path, numbered_bytes(9000));
    pf::File f = pf::open_for_random_read(path.c_str());
    ASSERT_TRUE(f);
    unsigned char b[16];
    // A read that runs over the end gets what is there, then nothing.
    ASSERT_EQ(pf::seek64(f.get(), 8995, SEEK_SET), 0);
    EXPECT_EQ(std::fread(b, 1, sizeof b, f.get()), 5u);
    EXPECT_EQ(std::fread(b, 1, sizeof b, f.get()), 0u);
    // Past the end is a place to seek to, with nothing to read there.
    ASSERT_EQ(pf::seek64(f.get(), 20000, SEEK_SET), 0);
    EXPECT_EQ(std::fread(b, 1, 1, f.get()), 0u);
    EXPECT_NE(pf::seek64(f.get(), -1, SEEK_SET), 0);
    ASSERT_EQ(pf::seek64(f.get(), 0, SEEK_END), 0);
    EXPECT_EQ(pf::tell64(f.get()), 9000);
}

TEST(RandomRead, OpensOnlyRegularFiles) {
    TempDir dir;
    EXPECT_FALSE(pf::open_for_random_read(dir.path().c_str()));
    EXPECT_FALSE(pf::open_for_random_read(dir.file("missing").c_str()));
    EXPECT_FALSE(pf::open_for_random_read(nullptr));
}
