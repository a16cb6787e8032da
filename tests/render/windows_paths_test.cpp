// Publishing the feed to paths written as Windows hosts write them, and the
// system error numbers each system reports when the file cannot be written.
#include <algorithm>
#include <filesystem>
#include <string>
#include <system_error>

#include "support/paths.h"
#include "tests/render/render_state.h"

namespace pf_test {
namespace {

class WindowsFeedOutput : public RenderTest {
protected:
    void SetUp() override {
        RenderTest::SetUp();
        ASSERT_EQ(feed_channel_set("lastBuildDate", kBuildDate), 0);
        ASSERT_EQ(feed_channel_set("title", "Show"), 0);
        std::filesystem::create_directories(dir() + "/pub.d/folder");
    }
};

TEST_F(WindowsFeedOutput, WritesThroughEverySpellingOfThePath) {
    const std::string expected = feed_generate();
    ASSERT_FALSE(expected.empty());
    for (const std::string &path : spellings_of_file(dir() + "/pub.d", "feed.xml")) {
        write("pub.d/feed.xml", "an older feed");
        ASSERT_EQ(feed_generate_to(path.c_str()), 0) << path << ": " << feed_last_error();
        EXPECT_EQ(read_file(dir() + "/pub.d/feed.xml"), expected) << path;
    }
}

// The numbers are the system's own: Win32 error codes on Windows, errno
// values elsewhere.
TEST_F(WindowsFeedOutput, AnUnwritablePathReportsTheSystemsOwnErrorNumber) {
    const struct {
        std::string path;
        unsigned long windows_error, posix_error;
    } cases[] = {
        {dir() + "/missing/feed.xml", 3 /* ERROR_PATH_NOT_FOUND */,
         static_cast<unsigned long>(std::errc::no_such_file_or_directory)},
        {dir() + "/pub.d/folder", 5 /* ERROR_ACCESS_DENIED */, static_cast<unsigned long>(std::errc::is_a_directory)},
    };
    for (const auto &c : cases) {
        EXPECT_EQ(feed_generate_to(c.path.c_str()), -1) << c.path;
        const unsigned long code = kWindows ? c.windows_error : c.posix_error;
        EXPECT_EQ(std::string(feed_last_error()),
                  "feed_generate_to: cannot open " + c.path + " for write (win err " + std::to_string(code) + ")");
    }
}

}  // namespace
}  // namespace pf_test
