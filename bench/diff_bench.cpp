// Comparing with large old feed files: a million empty items, and a 40 MB
// feed of full items of which 4096 match the table. Each is timed against
// reading the same file once in the same run, and its peak memory is taken
// from a child process that runs one comparison and nothing else. Exits 1
// when a target is not met.
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>

#include "bench/bench_util.h"
#include "quorvane_podcastfeed.h"

namespace {

constexpr int kEmptyItems = 1'000'000;
constexpr int kFullItems = 150'000;
constexpr int kEpisodes = 4096;
constexpr double kTargetMs = 2000;
constexpr long kTargetBytes = 200L << 20;

const char kPubDate[] = "Tue, 14 Nov 2023 22:13:20 GMT";

std::string full_item(int n) {
    const std::string number = std::to_string(n);
    return "    <item>\n      <title>Episode " + number + ": Questions &amp; Answers</title>\n"
           "      <enclosure url=\"https://media.example.com/show/Episode%20" + number +
           ".mp3\" length=\"48000000\" type=\"audio/mpeg\" />\n"
           "      <guid isPermaLink=\"false\">show/Episode " + number + ".mp3</guid>\n"
           "      <pubDate>" + kPubDate + "</pubDate>\n    </item>\n";
}

// Written in slices, so that the file never sits in this process's memory
// and the children's peaks are the comparison's own.
template <typename Item>
void write_feed(const std::string &path, int items, Item item) {
    std::ofstream out(path, std::ios::binary);
    out << "<rss version=\"2.0\">\n  <channel>\n";
    std::string slice;
    for (int i = 0; i < items; ++i) {
        slice += item(i + 1);
        if (slice.size() > (1 << 20)) {
            out << slice;
            slice.clear();
        }
    }
    out << slice << "  </channel>\n</rss>";
}

// The first kEpisodes items of the full feed, as the library holds them.
void fill_table() {
    for (int i = 0; i < kEpisodes; ++i) {
        const std::string number = std::to_string(i + 1);
        if (feed_episode_add(("{\"file\":\"/none/Episode " + number + ".mp3\",\"title\":\"Episode " + number +
                              ": Questions & Answers\",\"pubDate\":\"" + kPubDate + "\"}")
                                 .c_str()) != 0 ||
            feed_episode_set(i, "url", ("https://media.example.com/show/Episode%20" + number + ".mp3").c_str()) !=
                0 ||
            feed_episode_set(i, "guid", ("show/Episode " + number + ".mp3").c_str()) != 0)
            std::abort();
    }
}

// The peak resident size of a child that runs work once, in bytes.
long child_peak(void (*work)(const std::string &), const std::string &path) {
    const pid_t pid = fork();
    if (pid < 0) std::abort();
    if (pid == 0) {
        if (work) work(path);
        _exit(0);
    }
    int status = 0;
    struct rusage usage {};
    if (wait4(pid, &status, 0, &usage) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0) std::abort();
    return usage.ru_maxrss * 1024L;
}

std::string expected_result;

void compare(const std::string &path) {
    if (feed_diff(path.c_str()) != expected_result) {
        std::fprintf(stderr, "diff_bench: got %s\n", feed_diff(path.c_str()));
        _exit(1);
    }
}

struct Figures {
    double read_ms, diff_ms;
    long peak_bytes, file_bytes;
};

Figures measure(const std::string &subject, const std::string &path, const std::string &expected, int rounds) {
    expected_result = expected;
    const long file_bytes = static_cast<long>(std::filesystem::file_size(path));
    const long idle = child_peak(nullptr, path);
    const long peak = child_peak(compare, path) - idle;
    const double read_ms = bench::best_ms(rounds, [&] {
        if (bench::read_whole(path) != file_bytes) std::abort();
    });
    const double diff_ms = bench::best_ms(rounds, [&] { compare(path); });
    bench::row("diff", subject, "read floor", read_ms);
    bench::row("diff", subject, "feed_diff", diff_ms, std::to_string(peak) + " bytes peak");
    std::printf("%s: feed_diff %.1f ms = %.1f x read floor; peak %.1f MB = %.2f x file\n", subject.c_str(), diff_ms,
                diff_ms / read_ms, peak / 1048576.0, static_cast<double>(peak) / file_bytes);
    return {read_ms, diff_ms, peak, file_bytes};
}

}  // namespace

int main(int argc, char **argv) {
    const int rounds = argc > 1 ? std::atoi(argv[1]) : 5;
    const std::filesystem::path scratch =
        std::filesystem::temp_directory_path() / ("pf_diff_bench_" + std::to_string(std::random_device{}()));
    if (!std::filesystem::create_directory(scratch)) return 1;
    const std::string empty_feed = (scratch / "empty-items.xml").string();
    const std::string full_feed = (scratch / "full-items.xml").string();
    write_feed(empty_feed, kEmptyItems, [](int) { return std::string("<item></item>"); });
    write_feed(full_feed, kFullItems, full_item);

    const Figures empty = measure(std::to_string(kEmptyItems) + " empty items", empty_feed,
                                  "{\"added\":0,\"removed\":1000000,\"changed\":0,\"unchanged\":0,"
                                  "\"newest_pubDate\":\"\"}",
                                  rounds);
    fill_table();
    measure(std::to_string(kFullItems) + " full items, " + std::to_string(kEpisodes) + " episodes", full_feed,
            "{\"added\":0,\"removed\":" + std::to_string(kFullItems - kEpisodes) +
                ",\"changed\":0,\"unchanged\":4096,\"newest_pubDate\":\"" + kPubDate + "\"}",
            rounds);
    std::filesystem::remove_all(scratch);

    const bool fast = empty.diff_ms < kTargetMs;
    const bool small = empty.peak_bytes < kTargetBytes;
    std::printf("%s  1M empty items under %.0f ms (%.1f ms)\n", fast ? "met    " : "NOT MET", kTargetMs, empty.diff_ms);
    std::printf("%s  1M empty items under %ld MB peak (%.1f MB)\n", small ? "met    " : "NOT MET", kTargetBytes >> 20,
                empty.peak_bytes / 1048576.0);
    return fast && small ? 0 : 1;
}
