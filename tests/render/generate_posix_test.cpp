// The feed buffer when memory runs out: limits on the address space are a
// POSIX facility, and the address sanitizer reserves more than any limit.
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "tests/render/render_state.h"

namespace pf_test {
namespace {

#if !defined(__SANITIZE_ADDRESS__)

using GeneratePosixTest = RenderTest;

std::uint64_t address_space_in_use() {
    unsigned long pages = 0;
    std::FILE *f = std::fopen("/proc/self/statm", "r");
    if (f) {
        if (std::fscanf(f, "%lu", &pages) != 1) pages = 0;
        std::fclose(f);
    }
    return std::uint64_t{pages} * static_cast<std::uint64_t>(sysconf(_SC_PAGESIZE));
}

// When the next doubling cannot be had, the call fails, the buffer it had is
// still there and described by its size, and the same state renders once
// memory is available again. Run in a child: the limit must not outlive it.
TEST_F(GeneratePosixTest, GrowthWithoutMemoryFailsAndKeepsTheOldBuffer) {
    // Items of about 30 KiB: the document needs a buffer of 128 MiB.
    for (int i = 0; i < pf::kMaxEpisodes; ++i) {
        pf::pf_episode &e = add_episode("/no/such/" + std::to_string(i));
        e.url.assign(std::string(e.url.capacity - 1, '&'));
        e.guid.assign(std::string(e.guid.capacity - 1, '&'));
        e.url_explicit = 1;
    }
    const std::string path = dir() + "/feed.xml";
    write("feed.xml", "old feed");
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        rlimit limit{};
        getrlimit(RLIMIT_AS, &limit);
        const rlimit tight{address_space_in_use() + (std::uint64_t{40} << 20), limit.rlim_max};
        if (setrlimit(RLIMIT_AS, &tight) != 0) _exit(10);
        if (*feed_generate() != '\0') _exit(11);
        if (std::strcmp(feed_last_error(), "feed_generate: buffer growth failed") != 0) _exit(12);
        const std::uint64_t kept = pf::s_feed.feed.capacity;
        if (kept < 65536 || kept >= (std::uint64_t{128} << 20)) _exit(13);
        pf::s_feed.feed.text[kept - 1] = '\0';
        if (feed_generate_to(path.c_str()) != -1) _exit(14);
        if (std::strcmp(feed_last_error(),
                        "feed_generate_to: generate failed: feed_generate: buffer growth failed") != 0)
            _exit(15);
        if (setrlimit(RLIMIT_AS, &limit) != 0) _exit(16);
        if (*feed_generate() == '\0') _exit(17);
        _exit(0);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_EQ(read_file(path), "old feed");
}

#endif

}  // namespace
}  // namespace pf_test
