// Validating and diffing a full feed (4096 episodes, every file present),
// each timed in the same run against one rendering of the same feed and
// against one snprintf pass over the document's bytes.
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "bench/bench_util.h"
#include "core/feed_state.h"
#include "core/text.h"
#include "episodes/episodes.h"
#include "quorvane_podcastfeed.h"

namespace {

constexpr int kRounds = 15;

// Texts with characters the writer escapes, so the diff decodes on every item.
void fill_feed(const std::string &folder) {
    feed_channel_reset();
    feed_channel_set("title", "Checks & Balances");
    feed_url_base("https://media.example.com/show", folder.c_str());
    pf::pf_episode_table &eps = pf::s_feed.episodes;
    eps.count = 0;
    for (int i = 0; i < pf::kMaxEpisodes; ++i) {
        const std::string number = std::to_string(i + 1);
        const std::string path = folder + "/Episode " + number + ".mp3";
        std::ofstream(path, std::ios::binary) << "ID3";
        pf::pf_episode &e = eps[eps.count++];
        e = pf::pf_episode{};
        e.file.assign(path);
        e.title.assign("Episode " + number + ": \"Questions\" & <Answers>");
        e.pubDate.assign("Tue, 14 Nov 2023 22:13:20 GMT");
        e.mime.assign("audio/mpeg");
        e.size = 48'000'000 + i;
        e.duration_s = 3000 + i;
    }
}

}  // namespace

int main() {
    const std::filesystem::path scratch =
        std::filesystem::temp_directory_path() / ("pf_checks_bench_" + std::to_string(std::random_device{}()));
    if (!std::filesystem::create_directory(scratch)) return 1;
    const std::string folder = scratch.string();
    const std::string old_feed = folder + "/feed.xml";
    fill_feed(folder);

    // The first rendering grows the buffer and derives every URL once; the
    // rounds measure the steady state a host sees when it checks its feed.
    if (feed_generate_to(old_feed.c_str()) != 0) {
        std::fprintf(stderr, "checks_bench: %s\n", feed_last_error());
        return 1;
    }
    const double render_ms = bench::best_ms(kRounds, [] {
        if (!*feed_generate()) std::abort();
    });
    const double validate_ms = bench::best_ms(kRounds, [] {
        if (feed_validate() != 0) std::abort();
    });
    const std::string expected = "{\"added\":0,\"removed\":0,\"changed\":0,\"unchanged\":4096,"
                                 "\"newest_pubDate\":\"Tue, 14 Nov 2023 22:13:20 GMT\"}";
    const double diff_ms = bench::best_ms(kRounds, [&] {
        if (feed_diff(old_feed.c_str()) != expected) std::abort();
    });

    const std::string document = feed_generate();
    std::vector<char> floor_buffer(document.size() + 1);
    const double floor_ms = bench::best_ms(kRounds, [&] { bench::write_lines(document, floor_buffer); });
    const std::string subject =
        std::to_string(pf::s_feed.episodes.count) + " episodes, " + std::to_string(document.size()) + " bytes";
    bench::row("checks", subject, "snprintf floor", floor_ms);
    bench::row("checks", subject, "feed_generate", render_ms);
    bench::row("checks", subject, "feed_validate", validate_ms);
    bench::row("checks", subject, "feed_diff", diff_ms);
    std::filesystem::remove_all(folder);
    return 0;
}
