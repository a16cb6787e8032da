// Replacing a published feed on POSIX systems: permissions and owner, links,
// FIFOs, and an old file left whole when the new one cannot be written.
#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <initializer_list>
#include <string>

#include "tests/render/render_state.h"

namespace pf_test {
namespace {

class FileOutputPosixTest : public RenderTest {
protected:
    void SetUp() override {
        RenderTest::SetUp();
        ASSERT_EQ(feed_channel_set("lastBuildDate", kBuildDate), 0);
    }

    static mode_t permissions_of(const std::string &path) {
        struct stat st {};
        EXPECT_EQ(stat(path.c_str(), &st), 0) << path;
        return st.st_mode & 07777;
    }

    // Only the named entries: no temporary file may be left.
    void expect_only(std::initializer_list<const char *> names) const {
        int count = 0;
        for (const auto &entry : std::filesystem::directory_iterator(dir())) {
            ++count;
            EXPECT_NE(std::find(names.begin(), names.end(), entry.path().filename().string()), names.end())
                << entry.path();
        }
        EXPECT_EQ(count, static_cast<int>(names.size()));
    }
};

TEST_F(FileOutputPosixTest, ReplacementKeepsPermissionsAndOldReadersSeeTheOldFile) {
    const std::string path = write("feed.xml", "old feed");
    ASSERT_EQ(chmod(path.c_str(), 0640), 0);
    const int reader = open(path.c_str(), O_RDONLY);
    ASSERT_GE(reader, 0);

    ASSERT_EQ(feed_generate_to(path.c_str()), 0);
    EXPECT_EQ(read_file(path), std::string(feed_generate()));
    EXPECT_EQ(permissions_of(path), 0640u);
    // The file was replaced, not rewritten: a reader of the old one still
    // reads it whole.
    char old[16] = {};
    EXPECT_EQ(read(reader, old, sizeof old - 1), 8);
    EXPECT_STREQ(old, "old feed");
    close(reader);
    expect_only({"feed.xml"});
}

TEST_F(FileOutputPosixTest, ReadOnlyTargetIsRefusedAndLeftAlone) {
    if (geteuid() == 0) GTEST_SKIP() << "root may write any file";
    const std::string path = write("feed.xml", "old feed");
    ASSERT_EQ(chmod(path.c_str(), 0444), 0);
    EXPECT_EQ(feed_generate_to(path.c_str()), -1);
    EXPECT_EQ(std::string(feed_last_error()),
              "feed_generate_to: cannot open " + path + " for write (win err " + std::to_string(EACCES) + ")");
    EXPECT_EQ(read_file(path), "old feed");
    expect_only({"feed.xml"});
}

TEST_F(FileOutputPosixTest, NewFileGetsTheBitsTheUmaskAllows) {
    const mode_t mask = umask(0027);
    const std::string path = dir() + "/feed.xml";
    const int rc = feed_generate_to(path.c_str());
    umask(mask);
    ASSERT_EQ(rc, 0);
    EXPECT_EQ(permissions_of(path), 0640u);
}

TEST_F(FileOutputPosixTest, LinkedTargetIsWrittenAndTheLinkKept) {
    const std::string link = dir() + "/feed.xml";
    ASSERT_EQ(symlink("real.xml", link.c_str()), 0);
    // First through a link to nothing yet, then over the file it now names.
    for (const char *old : {static_cast<const char *>(nullptr), "old feed"}) {
        if (old) write("real.xml", old);
        ASSERT_EQ(feed_generate_to(link.c_str()), 0) << feed_last_error();
        struct stat st {};
        ASSERT_EQ(lstat(link.c_str(), &st), 0);
        EXPECT_TRUE(S_ISLNK(st.st_mode));
        EXPECT_EQ(read_file(dir() + "/real.xml"), std::string(feed_generate()));
        expect_only({"feed.xml", "real.xml"});
    }
}

TEST_F(FileOutputPosixTest, FifoTargetIsWrittenInPlace) {
    const std::string fifo = dir() + "/feed.fifo";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    // A reader already waiting lets the write side open at once.
    const int reader = open(fifo.c_str(), O_RDONLY | O_NONBLOCK);
    ASSERT_GE(reader, 0);

    ASSERT_EQ(feed_generate_to(fifo.c_str()), 0);
    const std::string expected = feed_generate();
    std::string got(expected.size() + 16, '\0');
    const ssize_t n = read(reader, got.data(), got.size());
    close(reader);
    ASSERT_GE(n, 0);
    got.resize(static_cast<std::size_t>(n));
    EXPECT_EQ(got, expected);
    struct stat st {};
    ASSERT_EQ(lstat(fifo.c_str(), &st), 0);
    EXPECT_TRUE(S_ISFIFO(st.st_mode));
}

// Root replacing another user's private feed must not take it away from them.
TEST_F(FileOutputPosixTest, ReplacementKeepsTheOwnerAndGroup) {
    if (geteuid() != 0) GTEST_SKIP() << "only root may give a file to another user";
    const std::string path = write("feed.xml", "old feed");
    ASSERT_EQ(chown(path.c_str(), 65534, 65534), 0);
    ASSERT_EQ(chmod(path.c_str(), 0600), 0);
    ASSERT_EQ(feed_generate_to(path.c_str()), 0) << feed_last_error();
    struct stat st {};
    ASSERT_EQ(stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_uid, 65534u);
    EXPECT_EQ(st.st_gid, 65534u);
    EXPECT_EQ(st.st_mode & 07777, 0600u);
    EXPECT_EQ(read_file(path), std::string(feed_generate()));
}

// A full disk stands in as a file size limit. With SIGXFSZ ignored the write
// fails with EFBIG; with its default action the process is killed in the
// middle of the write, as by any signal. The limit is set in a child so that
// it does not outlive the test.
TEST_F(FileOutputPosixTest, FailedOrKilledWriteLeavesTheOldFileAndNoTemporaryFile) {
    const std::string path = write("feed.xml", "old feed");
    const std::string expected_error = "feed_generate_to: short write to " + path;
    for (const bool killed : {false, true}) {
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            signal(SIGXFSZ, killed ? SIG_DFL : SIG_IGN);
            const rlimit no_core{0, 0};
            const rlimit limit{100, 100};
            if (setrlimit(RLIMIT_CORE, &no_core) != 0 || setrlimit(RLIMIT_FSIZE, &limit) != 0) _exit(10);
            if (feed_generate_to(path.c_str()) != -1) _exit(11);
            _exit(expected_error == feed_last_error() ? 0 : 12);
        }
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        if (killed) {
            ASSERT_TRUE(WIFSIGNALED(status)) << status;
            EXPECT_EQ(WTERMSIG(status), SIGXFSZ);
        } else {
            ASSERT_TRUE(WIFEXITED(status)) << status;
            EXPECT_EQ(WEXITSTATUS(status), 0);
        }
        EXPECT_EQ(read_file(path), "old feed") << killed;
        expect_only({"feed.xml"});
    }
}

}  // namespace
}  // namespace pf_test
