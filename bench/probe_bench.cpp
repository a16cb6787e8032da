// Probing a one-hour 128 kbps MP3 (about 138,000 frames) against the floor of
// reading the same file from the page cache with a plain read loop. The file
// is made once with ffmpeg and kept in a cache folder. Prints both times and
// their ratio.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "quorvane_podcastfeed.h"

namespace {

constexpr int kRounds = 15;
constexpr double kTargetRatio = 2.0;

using Clock = std::chrono::steady_clock;

double ms_of(const std::function<void()> &work) {
    const auto start = Clock::now();
    work();
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

// Medians of rounds that alternate the two, so that whatever else the shared
// machine does weighs on both alike.
std::pair<double, double> median_ms_alternating(const std::function<void()> &a, const std::function<void()> &b) {
    std::vector<double> ta, tb;
    for (int round = 0; round < kRounds; ++round) {
        ta.push_back(ms_of(a));
        tb.push_back(ms_of(b));
    }
    return {median(ta), median(tb)};
}

std::string cached_hour_mp3() {
    namespace fs = std::filesystem;
    const fs::path folder = fs::temp_directory_path() / "pf_bench_cache";
    const fs::path file = folder / "hour_128k.mp3";
    std::error_code ec;
    if (fs::exists(file, ec)) return file.string();
    fs::create_directories(folder, ec);
    const fs::path partial = folder / "hour_128k.partial.mp3";
    const std::string cmd = "ffmpeg -nostdin -v error -y -f lavfi -i sine=frequency=440:duration=3600 "
                            "-c:a libmp3lame -b:a 128k '" +
                            partial.string() + "'";
    std::printf("probe_bench: making %s (once)\n", file.string().c_str());
    std::fflush(stdout);
    if (std::system(cmd.c_str()) != 0) return "";
    fs::rename(partial, file, ec);
    return ec ? "" : file.string();
}

// The floor: every byte of the file through the same stdio the probe uses.
std::size_t read_whole(const std::string &path) {
    // Page-aligned, so the copy out of the page cache runs at full speed.
    alignas(4096) static char buf[128 * 1024];
    std::FILE *f = std::fopen(path.c_str(), "rb");
    if (f == nullptr) return 0;
    std::size_t total = 0;
    for (std::size_t got; (got = std::fread(buf, 1, sizeof buf, f)) > 0;) total += got;
    std::fclose(f);
    return total;
}

}  // namespace

int main() {
    const std::string path = cached_hour_mp3();
    if (path.empty()) {
        std::fprintf(stderr, "probe_bench: cannot make the test file (is ffmpeg installed?)\n");
        return 1;
    }
    read_whole(path);  // into the page cache
    const std::string result = media_probe(path.c_str());
    if (result.find("\"duration_s\":3600") == std::string::npos) {
        std::fprintf(stderr, "probe_bench: unexpected probe result %s\n", result.c_str());
        return 1;
    }
    std::size_t bytes = 0;
    const auto [floor_ms, probe_ms] =
        median_ms_alternating([&] { bytes = read_whole(path); }, [&] { media_probe(path.c_str()); });
    const double ratio = probe_ms / floor_ms;
    std::printf("probe_bench: %s\n", result.c_str());
    std::printf("probe_bench: read floor %.2f ms for %zu bytes, media_probe %.2f ms, ratio %.2f (target <= %.1f) %s\n",
                floor_ms, bytes, probe_ms, ratio, kTargetRatio, ratio <= kTargetRatio ? "ok" : "OVER TARGET");
    return 0;
}
