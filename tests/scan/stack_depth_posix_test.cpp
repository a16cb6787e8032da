// The stack every exported call needs, measured on host threads with small
// stacks: hosts run the library on worker threads of their own sizing, and
// the public header promises them a bound.
#include <gtest/gtest.h>
#include <pthread.h>

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "quorvane_podcastfeed.h"
#include "support/media_builders.h"
#include "support/temp_dir.h"
#include "tests/scan/scan_support.h"

namespace {

using pf_test::write_file;

constexpr std::size_t kKiB = 1024;
constexpr std::size_t kPromised = PF_MAX_STACK_KIB * kKiB;

// A show with every kind of file the scan and the probe read, each with a
// sidecar, and an earlier feed to compare with.
struct Show {
    pf_test::TempDir tmp;
    std::string dir = tmp.path();
    Show() {
        write_file(dir + "/01 Intro.mp3", pf_test::id3v2_tag(3, 200) + scan_test::mp3_of_seconds(3));
        write_file(dir + "/02 Talk.m4a", pf_test::iso_file(1000, 61000, {"mp4a"}, 4000));
        write_file(dir + "/03 Clip.mp4", pf_test::iso_file(600, 90000, {"avc1", "mp4a"}, 4000));
        write_file(dir + "/04 Room.wav", pf_test::pcm_wav(2, 44100, 16, 176400));
        for (const char *stem : {"01 Intro", "02 Talk", "03 Clip"})
            write_file(dir + "/" + stem + ".json",
                       R"({"thumbnail":"https://img.test/a.jpg","author":"Ann \u00e9","extra":[1,{"b":null}]})");
        write_file(dir + "/old.xml", "<rss><channel><item><guid>x</guid><title>T</title></item></channel></rss>");
    }
};

struct Call {
    const char *name;
    std::function<void(const Show &)> run;
};

// Every exported function, the heavy ones on a feed that exercises all of
// their paths; the scan comes first so the later calls have a feed.
const std::vector<Call> &calls() {
    static const std::vector<Call> table = {
        {"feed_episode_scan", [](const Show &s) { feed_episode_scan(s.dir.c_str(), R"({"playlist_name":"Show"})"); }},
        {"feed_episode_add",
         [](const Show &s) {
             const std::string json = R"({"file":")" + s.dir + R"(/01 Intro.mp3","title":"A \u00e9 <b>","episode":3})";
             feed_episode_add(json.c_str());
         }},
        {"media_probe mp3", [](const Show &s) { media_probe((s.dir + "/01 Intro.mp3").c_str()); }},
        {"media_probe m4a", [](const Show &s) { media_probe((s.dir + "/02 Talk.m4a").c_str()); }},
        {"media_probe mp4", [](const Show &s) { media_probe((s.dir + "/03 Clip.mp4").c_str()); }},
        {"media_probe wav", [](const Show &s) { media_probe((s.dir + "/04 Room.wav").c_str()); }},
        {"media_probe missing", [](const Show &s) { media_probe((s.dir + "/none.mp3").c_str()); }},
        {"feed_sidecar_write",
         [](const Show &s) { feed_sidecar_write((s.dir + "/01 Intro.mp3").c_str(), R"({"author":"Bo","n":[1,2]})"); }},
        {"feed_sidecar_read", [](const Show &s) { feed_sidecar_read((s.dir + "/01 Intro.mp3").c_str()); }},
        {"feed_channel_set", [](const Show &) { feed_channel_set("description", "A show & more"); }},
        {"feed_channel_json", [](const Show &) { feed_channel_json(); }},
        {"feed_url_base", [](const Show &s) { feed_url_base("https://cdn.test/show", s.dir.c_str()); }},
        {"feed_url_override", [](const Show &) { feed_url_override("02 Talk.m4a", "https://cdn.test/talk.m4a"); }},
        {"feed_episode_set", [](const Show &) { feed_episode_set(0, "description", "Notes <i>"); }},
        {"feed_episode_field", [](const Show &) { feed_episode_field(1, "guid"); }},
        {"feed_episode_move", [](const Show &) { feed_episode_move(0, 2); }},
        {"feed_generate", [](const Show &) { feed_generate(); }},
        {"feed_generate_to", [](const Show &s) { feed_generate_to((s.dir + "/feed.xml").c_str()); }},
        {"feed_validate", [](const Show &) { feed_validate(); }},
        {"feed_validate_report_json", [](const Show &) { feed_validate_report_json(); }},
        {"feed_stats_json", [](const Show &) { feed_stats_json(); }},
        {"feed_diff", [](const Show &s) { feed_diff((s.dir + "/feed.xml").c_str()); }},
        {"feed_diff other", [](const Show &s) { feed_diff((s.dir + "/old.xml").c_str()); }},
        {"feed_episode_remove", [](const Show &) { feed_episode_remove(0); }},
        {"feed_episode_count", [](const Show &) { feed_episode_count(); }},
        {"feed_last_error", [](const Show &) { feed_last_error(); }},
        {"feed_channel_reset", [](const Show &) { feed_channel_reset(); }},
    };
    return table;
}

void *run_job(void *job) {
    (*static_cast<std::function<void()> *>(job))();
    return nullptr;
}

// attr carries the stack; false when the thread could not be started.
bool run_on_thread(pthread_attr_t *attr, std::function<void()> job) {
    pthread_t thread;
    if (pthread_create(&thread, attr, run_job, &job) != 0) return false;
    return pthread_join(thread, nullptr) == 0;
}

// The bytes of a painted stack that job left changed, thread start-up
// included: the stack grows down, so the untouched paint lies at its bottom.
std::size_t high_water(std::function<void()> job) {
    constexpr std::size_t kSize = 1024 * kKiB;
    constexpr unsigned char kPaint = 0xA5;
    auto *stack = static_cast<unsigned char *>(std::aligned_alloc(4096, kSize));
    if (!stack) return SIZE_MAX;
    std::memset(stack, kPaint, kSize);
    pthread_attr_t attr;
    pthread_attr_init(&attr);
    pthread_attr_setstack(&attr, stack, kSize);
    const bool ran = run_on_thread(&attr, std::move(job));
    pthread_attr_destroy(&attr);
    const std::size_t untouched =
        static_cast<std::size_t>(std::find_if(stack, stack + kSize, [](unsigned char b) { return b != kPaint; }) - stack);
    std::free(stack);
    return ran ? kSize - untouched : SIZE_MAX;
}

TEST(StackDepth, EveryCallStaysWithinThePromisedStack) {
    if (PF_TEST_SANITIZED) GTEST_SKIP() << "the sanitizers' frames are larger than the library's own";
    const Show show;
    const std::size_t thread_itself = high_water([] {});
    std::size_t deepest = 0;
    const char *deepest_call = "";
    for (const Call &c : calls()) {
        const std::size_t used = high_water([&] { c.run(show); });
        ASSERT_NE(used, SIZE_MAX) << c.name;
        const std::size_t need = used - std::min(used, thread_itself);
        if (need > deepest) {
            deepest = need;
            deepest_call = c.name;
        }
        EXPECT_LE(need, kPromised) << c.name << " needs " << need << " bytes of stack";
    }
    RecordProperty("deepest_call_stack_bytes", static_cast<int>(deepest));
    std::printf("deepest: %s, %zu bytes of stack beyond the thread's own %zu\n", deepest_call, deepest, thread_itself);
}

// A thread of exactly the promised size, with the system's guard page below
// it: a call that outgrows it crashes here rather than in a host.
TEST(StackDepth, EveryCallRunsOnAThreadOfThePromisedSize) {
    if (PF_TEST_SANITIZED) GTEST_SKIP() << "the sanitizers' frames are larger than the library's own";
    const Show show;
    pthread_attr_t attr;
    pthread_attr_init(&attr);
    ASSERT_EQ(pthread_attr_setstacksize(&attr, std::max<std::size_t>(kPromised, PTHREAD_STACK_MIN)), 0);
    for (const Call &c : calls()) EXPECT_TRUE(run_on_thread(&attr, [&] { c.run(show); })) << c.name;
    pthread_attr_destroy(&attr);
    EXPECT_GT(feed_episode_count(), 0);
}

}  // namespace
