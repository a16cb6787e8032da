// Rendering a full feed (4096 episodes, every file present) against the floor
// of writing the same bytes, line by line, through snprintf into a buffer
// allocated beforehand. Prints the times and their ratio, and apart from that
// the cost of the file checks the enclosure rule makes and of reordering and
// emptying the whole feed one edit at a time.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

#include "bench/bench_util.h"
#include "core/feed_state.h"
#include "core/platform.h"
#include "core/text.h"
#include "episodes/episodes.h"
#include "quorvane_podcastfeed.h"
#include "render/render.h"

namespace {

constexpr int kRounds = 50;
constexpr int kEditRounds = 5;
constexpr double kMovesTargetMs = 50;

void fill_feed(const std::string &folder) {
    feed_channel_reset();
    feed_channel_set("title", "Bench & Friends");
    feed_channel_set("description", "Every episode of a long-running show");
    feed_channel_set("artwork", "https://media.example.com/show/cover.jpg");
    feed_url_base("https://media.example.com/show", folder.c_str());
    pf::pf_episode_table &eps = pf::s_feed.episodes;
    eps.count = 0;
    for (int i = 0; i < pf::kMaxEpisodes; ++i) {
        const std::string name = "Episode " + std::to_string(i + 1) + ".mp3";
        const std::string path = folder + "/" + name;
        std::ofstream(path, std::ios::binary) << "ID3";
        pf::pf_episode &e = eps[eps.count++];
        e = pf::pf_episode{};
        e.file.assign(path);
        e.title.assign("Episode " + std::to_string(i + 1) + ": Questions & Answers");
        e.pubDate.assign("Tue, 14 Nov 2023 22:13:20 GMT");
        e.image.assign("https://media.example.com/show/ep" + std::to_string(i + 1) + ".jpg");
        e.author.assign("The \"Bench\" Crew");
        e.mime.assign("audio/mpeg");
        e.size = 48'000'000 + i;
        e.duration_s = 3000 + i;
    }
}

void render() {
    if (!*feed_generate()) std::abort();
}

void check_files() {
    pf::FileStatus status;
    for (int i = 0; i < pf::s_feed.episodes.count; ++i)
        if (pf::file_status(pf::s_feed.episodes[i].file.c_str(), &status) != 0) std::abort();
}

}  // namespace

int main() {
    const std::filesystem::path where =
        std::filesystem::temp_directory_path() / ("pf_render_bench_" + std::to_string(std::random_device{}()));
    std::error_code error;
    if (!std::filesystem::create_directory(where, error)) return 1;
    const std::string folder = where.string();
    fill_feed(folder);

    // The first rendering grows the buffer and derives every URL once, as a
    // host's first publication does; the rounds measure the steady state.
    const std::string document = feed_generate();
    if (document.empty()) {
        std::fprintf(stderr, "render_bench: %s\n", feed_last_error());
        return 1;
    }
    const double render_ms = bench::best_ms(kRounds, render);
    std::vector<char> floor_buffer(document.size() + 1);
    const double floor_ms = bench::best_ms(kRounds, [&] { bench::write_lines(document, floor_buffer); });
    if (std::memcmp(floor_buffer.data(), document.c_str(), document.size() + 1) != 0) return 1;
    // The enclosure rule asks the file system about every file on every
    // rendering; these two times split the writer's own cost from that.
    const double status_ms = bench::best_ms(kRounds, check_files);
    for (int i = 0; i < pf::s_feed.episodes.count; ++i) pf::s_feed.episodes[i].url_explicit = 1;
    const double writer_ms = bench::best_ms(kRounds, render);
    // A host putting a feed in another order moves every episode once; moving
    // each from the front to the end leaves the order as it was.
    const double moves_ms = bench::best_ms(kEditRounds, [] {
        for (int i = 0; i < pf::kMaxEpisodes; ++i)
            if (feed_episode_move(0, pf::kMaxEpisodes - 1) != 0) std::abort();
    });
    const double removals_ms = bench::best_ms(kEditRounds, [] {
        for (int i = 0; i < pf::kMaxEpisodes; ++i)
            if (feed_episode_remove(0) != 0) std::abort();
        // The records are still there: the next round removes them again.
        pf::s_feed.episodes.count = pf::kMaxEpisodes;
    });

    const std::string subject =
        std::to_string(pf::s_feed.episodes.count) + " episodes, " + std::to_string(document.size()) + " bytes";
    bench::row("render", subject, "snprintf floor", floor_ms);
    bench::row("render", subject, "feed_generate", render_ms);
    bench::row("render", subject, "feed_generate, host URLs only", writer_ms);
    bench::row("render", subject, "file status of every file", status_ms);
    bench::row("render", subject, "4096 moves of the first episode to the end", moves_ms);
    bench::row("render", subject, "4096 removals of the first episode", removals_ms);
    std::printf("%s  4096 moves under %.0f ms (%.2f ms, %.3f x feed_generate)\n",
                moves_ms < kMovesTargetMs ? "met    " : "NOT MET", kMovesTargetMs, moves_ms, moves_ms / render_ms);
    std::filesystem::remove_all(folder);
    return 0;
}
