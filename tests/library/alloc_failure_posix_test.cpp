// Every exported call that takes memory, run with its first, second, ...
// allocation failing until it runs through: each failure must be reported the
// way the call reports failures, must leave the feed as it was, and must
// neither crash nor leak. The C allocator is redirected for the library's
// objects by the linker (--wrap) and the global operator new is replaced in
// this program, both of which only a GNU toolchain on POSIX offers.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <new>
#include <string>
#include <vector>

#include "checks/checks.h"
#include "core/error.h"
#include "core/feed_state.h"
#include "episodes/episodes.h"
#include "quorvane_podcastfeed.h"
#include "render/render.h"
#include "support/media_builders.h"
#include "support/temp_dir.h"

// ---- Allocation hooks ----------------------------------------------------------

namespace {

// Only allocations made while armed are counted, so the test framework's own
// never fail; the one numbered fail_at fails, every other one succeeds.
struct Injector {
    bool armed = false;
    long count = 0;
    long fail_at = 0;
    bool failed = false;
};
Injector g_alloc;

bool may_allocate() {
    if (!g_alloc.armed || ++g_alloc.count != g_alloc.fail_at) return true;
    g_alloc.failed = true;
    return false;
}

}  // namespace

extern "C" {
void *__real_malloc(std::size_t n);
void *__real_calloc(std::size_t n, std::size_t size);
void *__real_realloc(void *p, std::size_t n);
char *__real_strdup(const char *s);

void *__wrap_malloc(std::size_t n) { return may_allocate() ? __real_malloc(n) : nullptr; }
void *__wrap_calloc(std::size_t n, std::size_t size) { return may_allocate() ? __real_calloc(n, size) : nullptr; }
// A failed reallocation leaves the old block to its owner, as realloc does.
void *__wrap_realloc(void *p, std::size_t n) { return may_allocate() ? __real_realloc(p, n) : nullptr; }
char *__wrap_strdup(const char *s) { return may_allocate() ? __real_strdup(s) : nullptr; }
}

namespace {
void *allocate(std::size_t n) { return may_allocate() ? __real_malloc(n ? n : 1) : nullptr; }
void *allocate_or_throw(std::size_t n) {
    if (void *p = allocate(n)) return p;
    throw std::bad_alloc();
}
}  // namespace

void *operator new(std::size_t n) { return allocate_or_throw(n); }
void *operator new[](std::size_t n) { return allocate_or_throw(n); }
void *operator new(std::size_t n, const std::nothrow_t &) noexcept { return allocate(n); }
void *operator new[](std::size_t n, const std::nothrow_t &) noexcept { return allocate(n); }
void operator delete(void *p) noexcept { std::free(p); }
void operator delete[](void *p) noexcept { std::free(p); }
void operator delete(void *p, std::size_t) noexcept { std::free(p); }
void operator delete[](void *p, std::size_t) noexcept { std::free(p); }
void operator delete(void *p, const std::nothrow_t &) noexcept { std::free(p); }
void operator delete[](void *p, const std::nothrow_t &) noexcept { std::free(p); }

namespace pf_test {
namespace {

namespace fs = std::filesystem;

// ---- The feed every call starts from --------------------------------------------

constexpr const char *kBuildDate = "Tue, 14 Nov 2023 22:13:20 GMT";
// What a call that leaves the last error must leave.
constexpr const char *kEarlier = "an earlier failure";

void write_media(const std::string &dir) {
    write_file(dir + "/ep1.mp3", mpeg_frames(MpegFrame{}, 40));
    write_file(dir + "/Ep 2 (Official Audio).m4a", iso_file(1000, 90000, {"mp4a"}, 64));
    write_file(dir + "/ep1.json", R"({"thumbnail":"https://img.example.com/ep1 & co.png","author":"Ann & Bob"})");
    set_mtime(dir + "/ep1.mp3", 1700000000);
    set_mtime(dir + "/Ep 2 (Official Audio).m4a", 1700003600);
}

// Texts long enough to leave the short-string buffer and special enough to be
// escaped, so every copy the library makes of them is a real allocation.
void build_feed(const std::string &dir) {
    write_media(dir);
    feed_channel_set("title", "News & <Views> from a show with a long name");
    feed_channel_set("description", "Weekly notes on \"quoted\" things & the like");
    feed_channel_set("author", "The Editors & Friends");
    feed_channel_set("lastBuildDate", kBuildDate);
    feed_url_base("https://cdn.example.com/pod", dir.c_str());
    const std::string first = R"({"file":")" + dir + R"(/ep1.mp3","title":"First & <best> episode of the show",)"
                              R"("pubDate":"Tue, 14 Nov 2023 22:13:20 GMT","author":"Ann & Bob the hosts"})";
    feed_episode_add(first.c_str());
    feed_episode_add((R"({"file":")" + dir + R"(/Ep 2 (Official Audio).m4a","title":"Second one"})").c_str());
    feed_episode_add(R"({"file":"/nowhere/missing file.mp3","title":"Missing & gone",)"
                     R"("pubDate":"Wed, 15 Nov 2023 08:00:00 GMT"})");
    feed_url_override("missing file.mp3", "https://mirror.example.com/missing%20file.mp3");
    write_file(dir + "/old.xml",
               "<rss><channel>\n<item><title>First &amp; &lt;best&gt; episode of the show</title>"
               "<enclosure url=\"https://cdn.example.com/pod/ep1.mp3\" type=\"audio/mpeg\" length=\"1\" />"
               "<guid isPermaLink=\"false\">" + dir + "/ep1.mp3</guid><pubDate>" + kBuildDate + "</pubDate></item>\n"
               "<item><title>Gone &amp; forgotten long ago</title>"
               "<guid isPermaLink=\"false\">an old guid that no episode has</guid></item>\n</channel></rss>");
}

// The state the library has at load, and a folder without files.
void reset_library(const std::string &dir) {
    pf::reset_feed_state(pf::s_feed);
    for (const fs::directory_entry &e : fs::directory_iterator(dir)) fs::remove_all(e.path());
}

// ---- What a host can see of the feed ---------------------------------------------

struct Snapshot {
    std::string channel;
    std::vector<std::string> episodes;  // every field of each, in field order
    std::string feed;
    std::string urls;  // the URL settings and the overrides
    std::vector<std::string> files;  // name and bytes of each file of the folder
    bool operator==(const Snapshot &) const = default;
};

// Without the build date, which follows the clock when the channel sets none.
std::string without_build_date(std::string feed) {
    const std::size_t open = feed.find("<lastBuildDate>");
    const std::size_t close = feed.find("</lastBuildDate>");
    if (open != std::string::npos && close != std::string::npos) feed.erase(open, close - open);
    return feed;
}

std::string slot_text(const char *slot) { return slot ? std::string("'") + slot + "'" : "(unset)"; }

// Reading fields and rendering derive the enclosure URLs, which is the one
// lasting effect those calls have, so every snapshot is taken the same way.
Snapshot snapshot(const std::string &dir) {
    Snapshot s;
    s.channel = feed_channel_json();
    for (int i = 0; i < feed_episode_count(); ++i) {
        std::string fields;
        for (const pf::pf_field &f : pf::PF_EPISODE_FIELDS) {
            const char *value = feed_episode_field(i, f.name);
            fields += std::string(f.name) + "=" + (value ? value : "(null)") + "\n";
        }
        s.episodes.push_back(fields);
    }
    s.feed = without_build_date(feed_generate());
    const pf::pf_url_settings &urls = pf::s_feed.urls;
    s.urls = slot_text(urls.base) + slot_text(urls.local_root) + slot_text(urls.guid_prefix);
    for (int k = 0; k < urls.override_count; ++k)
        s.urls += std::string(" ") + urls.overrides[k].file + "=" + urls.overrides[k].url;
    for (const fs::directory_entry &e : fs::recursive_directory_iterator(dir))
        if (e.is_regular_file()) s.files.push_back(e.path().string() + "\n" + read_file(e.path().string()));
    std::sort(s.files.begin(), s.files.end());
    return s;
}

// ---- The calls --------------------------------------------------------------------

struct Result {
    std::string value;  // the status in decimal, or the text ("(null)" for NULL)
    std::string error;  // the last error after the call
    bool operator==(const Result &) const = default;
};

// A call's answer as it comes, taken while allocations may fail and so
// copied only afterwards.
struct Answer {
    int status = 0;
    const char *text = nullptr;
    bool is_text = false;
};
Answer answer(int status) { return {status, nullptr, false}; }
Answer answer(const char *text) { return {0, text, true}; }

Result result_of(const Answer &a) {
    if (!a.is_text) return {std::to_string(a.status), feed_last_error()};
    return {a.text ? a.text : "(null)", feed_last_error()};
}

// Every argument, made before allocations may fail.
struct Arguments {
    std::string dir;
    std::string mp3 = dir + "/ep1.mp3";
    std::string m4a = dir + "/Ep 2 (Official Audio).m4a";
    std::string missing = dir + "/none.mp3";
    std::string old_feed = dir + "/old.xml";
    std::string episode = R"({"file":")" + mp3 + R"(","title":"Again & <again>","keywords":"a, b, c, d, e, f"})";
    std::string long_base = "https://cdn.example.com/" + std::string(5000, 'b');
    std::string long_root = "/" + std::string(5000, 'r');
};

struct Case {
    const char *name;
    Answer (*call)(const Arguments &a);
    // What the call may answer when memory ran out, and the last errors it
    // may leave then.
    std::vector<std::string> fallbacks;
    std::vector<std::string> messages;
    // A folder scan replaces the feed step by step: once the folder is
    // listed, a failure leaves no episodes rather than the old ones.
    bool may_empty_table = false;
    // Or a fallback that depends on the feed.
    bool (*is_fallback)(const std::string &answer) = nullptr;
};

const std::string kNoMemory = "out of memory";
const std::vector<std::string> kRenderFailures = {kNoMemory, "feed_generate: buffer growth failed"};
const std::string kSidecar =
    R"({"thumbnail":"https://img.example.com/new.png","author":"New & Author","x":[1,2.5,{"a":null}]})";

std::vector<Case> calls() {
    return {
        {"feed_channel_set", [](auto &) { return answer(feed_channel_set("title", "Renamed & retitled show")); },
         {"-1"}, {kNoMemory}},
        {"feed_channel_json", [](auto &) { return answer(feed_channel_json()); }, {"{}"}, {kEarlier}},
        {"feed_episode_add", [](auto &a) { return answer(feed_episode_add(a.episode.c_str())); }, {"-1"},
         {kNoMemory}},
        {"feed_episode_set", [](auto &) { return answer(feed_episode_set(0, "title", "Renamed & retitled one")); },
         {"-1"}, {kNoMemory}},
        {"feed_url_base", [](auto &a) { return answer(feed_url_base(a.long_base.c_str(), a.long_root.c_str())); },
         {"-1"}, {kNoMemory}},
        {"feed_url_override",
         [](auto &) { return answer(feed_url_override("ep1.mp3", "https://other.example.com/ep1.mp3")); }, {"-1"},
         {kNoMemory}},
        {"feed_episode_field", [](auto &) { return answer(feed_episode_field(0, "url")); }, {"(null)"}, {kNoMemory}},
        {"media_probe mp3", [](auto &a) { return answer(media_probe(a.mp3.c_str())); },
         {R"({"error":"out of memory"})"}, {kNoMemory}},
        {"media_probe m4a", [](auto &a) { return answer(media_probe(a.m4a.c_str())); },
         {R"({"error":"out of memory"})"}, {kNoMemory}},
        {"media_probe missing", [](auto &a) { return answer(media_probe(a.missing.c_str())); },
         {R"({"error":"out of memory"})"}, {kNoMemory}},
        {"feed_episode_scan",
         [](auto &a) { return answer(feed_episode_scan(a.dir.c_str(), R"({"playlist_name":"Scanned & named"})")); },
         {"-1"}, {"feed_episode_scan: out of memory"}, true},
        {"feed_episode_scan default URLs", [](auto &a) { return answer(feed_episode_scan(a.dir.c_str(), nullptr)); },
         {"-1"}, {"feed_episode_scan: out of memory"}, true},
        {"feed_sidecar_write", [](auto &a) { return answer(feed_sidecar_write(a.mp3.c_str(), kSidecar.c_str())); },
         {"-1"}, {"feed_sidecar_write: out of memory"}},
        {"feed_sidecar_read", [](auto &a) { return answer(feed_sidecar_read(a.mp3.c_str())); }, {""},
         {"feed_sidecar_read: out of memory"}},
        {"feed_generate", [](auto &) { return answer(feed_generate()); }, {""}, kRenderFailures},
        {"feed_generate_to", [](auto &a) { return answer(feed_generate_to(a.old_feed.c_str())); }, {"-1"},
         {"feed_generate_to: generate failed: out of memory",
          "feed_generate_to: generate failed: feed_generate: buffer growth failed", "feed_generate_to: out of memory"}},
        {"feed_validate", [](auto &) { return answer(feed_validate()); }, {"-1"}, kRenderFailures},
        {"feed_validate_report_json", [](auto &) { return answer(feed_validate_report_json()); },
         {R"([{"rule":"xml_generated","ok":false,"detail":"generation failed"}])", "[]"}, kRenderFailures},
        // The counts without the texts that could not be escaped.
        {"feed_stats_json", [](auto &) { return answer(feed_stats_json()); }, {}, {kEarlier}, false,
         +[](const std::string &summary) {
             return summary.starts_with(R"({"episodes":3,)") &&
                    summary.ends_with(R"("newest_pubDate":"","feed_type":"audio","title":""})");
         }},
        {"feed_diff", [](auto &a) { return answer(feed_diff(a.old_feed.c_str())); }, {""},
         {"feed_diff: read error"}},
    };
}

// ---- The driver --------------------------------------------------------------------

// One run of the call from the feed built afresh, with allocation fail_at
// failing (0: none fails).
struct Attempt {
    Result result;
    bool failed = false;  // the allocation to fail was reached
    Snapshot after;
};

Attempt attempt(const Case &c, const Arguments &args, long fail_at) {
    reset_library(args.dir);
    build_feed(args.dir);
    pf::set_err("%s", kEarlier);
    Attempt r;
    g_alloc = Injector{true, 0, fail_at, false};
    try {
        const Answer a = c.call(args);
        g_alloc.armed = false;
        r.result = result_of(a);
    } catch (const std::exception &e) {
        g_alloc.armed = false;
        ADD_FAILURE() << "exception out of the C interface: " << e.what();
        r.result = {"(exception)", feed_last_error()};
    }
    r.failed = g_alloc.failed;
    r.after = snapshot(args.dir);
    return r;
}

bool contains(const std::vector<std::string> &list, const std::string &s) {
    return std::find(list.begin(), list.end(), s) != list.end();
}

// The cases run one after another in one folder, so that paths, and with
// them the feeds, are the same in every run of a case.
class AllocFailureTest : public ::testing::Test {
protected:
    void TearDown() override { reset_library(dir_.path()); }

    // Calls check(case, attempt, before, unfailed) with allocation n failing,
    // for n = 1, 2, ... until the call no longer reaches its n-th allocation,
    // which must then end as a run with memory to spare does. The number of
    // allocations each call makes is recorded as a property of the test.
    template <typename Check>
    void for_each_failure(Check check) {
        const std::string &dir = dir_.path();
        const Arguments args{dir};
        for (const Case &c : calls()) {
            reset_library(dir);
            build_feed(dir);
            const Snapshot before = snapshot(dir);
            const Attempt unfailed = attempt(c, args, 0);
            EXPECT_FALSE(contains(c.fallbacks, unfailed.result.value)) << c.name << " fails even with memory to spare";
            long n = 1;
            for (; n < 100000; ++n) {
                SCOPED_TRACE(std::string(c.name) + ", allocation " + std::to_string(n) + " failing");
                const Attempt r = attempt(c, args, n);
                if (!r.failed) {
                    EXPECT_EQ(r.result, unfailed.result);
                    break;
                }
                check(c, r, before, unfailed);
            }
            RecordProperty(c.name, static_cast<int>(n - 1));
        }
    }

private:
    TempDir dir_;
};

// Where two long texts part, or "" when they are the same.
std::string difference(const std::string &got, const std::string &expected) {
    if (got == expected) return "";
    const auto at = static_cast<std::size_t>(
        std::mismatch(got.begin(), got.begin() + static_cast<long>(std::min(got.size(), expected.size())),
                      expected.begin())
            .first -
        got.begin());
    const std::size_t from = at < 40 ? 0 : at - 40;
    return "at byte " + std::to_string(at) + ": got [" + got.substr(from, 120) + "] expected [" +
           expected.substr(from, 120) + "]";
}

std::string difference(const std::vector<std::string> &got, const std::vector<std::string> &expected) {
    std::string joined_got, joined_expected;
    for (const std::string &s : got) joined_got += s + "\n--\n";
    for (const std::string &s : expected) joined_expected += s + "\n--\n";
    return difference(joined_got, joined_expected);
}

// A call that ran out of memory says so as its failures are said: a status
// of -1 or the call's fallback text, with its message. Only a call that
// recovered (its answer and message those of a run with memory to spare)
// may claim success.
TEST_F(AllocFailureTest, FailureIsReportedAsTheCallReportsFailures) {
    for_each_failure([](const Case &c, const Attempt &r, const Snapshot &, const Attempt &unfailed) {
        if (r.result == unfailed.result) return;
        EXPECT_TRUE(contains(c.fallbacks, r.result.value) || (c.is_fallback && c.is_fallback(r.result.value)))
            << "answer: " << r.result.value;
        EXPECT_TRUE(contains(c.messages, r.result.error)) << "last error: " << r.result.error;
    });
}

// A failed call leaves the channel, the episodes, the URL settings, the
// rendered feed and the files as they were; a call that recovered leaves them
// as a run with memory to spare does.
TEST_F(AllocFailureTest, FailureLeavesTheFeedAsItWas) {
    for_each_failure([](const Case &c, const Attempt &r, const Snapshot &before, const Attempt &unfailed) {
        const bool recovered = r.result == unfailed.result;
        const Snapshot &expected = recovered ? unfailed.after : before;
        if (!recovered && c.may_empty_table && r.after.episodes.empty()) return;
        EXPECT_EQ(difference(r.after.channel, expected.channel), "") << "channel";
        EXPECT_EQ(difference(r.after.episodes, expected.episodes), "") << "episodes";
        EXPECT_EQ(difference(r.after.feed, expected.feed), "") << "feed";
        EXPECT_EQ(difference(r.after.urls, expected.urls), "") << "URL settings";
        EXPECT_EQ(difference(r.after.files, expected.files), "") << "files";
    });
}

}  // namespace
}  // namespace pf_test
