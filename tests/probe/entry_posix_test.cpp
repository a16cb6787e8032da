// Probe entry cases that need POSIX: file names Windows refuses, FIFOs and
// the working folder.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <string>

#include "probe_support.h"

namespace pf_test {
namespace {

TEST(ProbeEntry, PathOfThreeBytesIsUnsupported) {
    TempDir dir;
    write_file(dir.file("a.b"), "x");
    char old_cwd[4096];
    ASSERT_NE(getcwd(old_cwd, sizeof old_cwd), nullptr);
    ASSERT_EQ(chdir(dir.path().c_str()), 0);
    const std::string result = media_probe("a.b");
    ASSERT_EQ(chdir(old_cwd), 0);
    EXPECT_EQ(result, "{\"error\":\"unsupported extension .b\",\"size\":1}");
}

TEST(ProbeEntry, LabelIsEscapedAsJsonStringContent) {
    TempDir dir;
    const struct {
        std::string name;
        std::string label;  // as it comes back after JSON decoding
    } cases[] = {
        {"a\"b.t\"x", ".t\"x"},
        {"a.q\x01\x1f", ".q\x01\x1f"},
        // The longest file name of control bytes must still fit whole.
        {"x." + std::string(250, '\x02'), "." + std::string(250, '\x02')},
    };
    for (const auto &c : cases) {
        write_file(dir.file(c.name), "x");
        const Probed p = probe_path(dir.file(c.name));
        EXPECT_EQ(p.error, "unsupported extension " + c.label);
        EXPECT_EQ(p.size, 1);
    }
}

TEST(ProbeEntry, FifoFailsToOpenWithoutBlocking) {
    TempDir dir;
    const std::string fifo = dir.file("pipe.wav");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    const Probed p = probe_path(fifo);
    EXPECT_EQ(p.text, "{\"error\":\"open failed\",\"size\":0}");
    EXPECT_EQ(std::string(feed_last_error()), "media_probe(" + fifo + "): cannot open");
}

}  // namespace
}  // namespace pf_test
