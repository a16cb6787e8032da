// The whole job on one folder: feed_episode_scan and feed_generate_to from
// folder to feed file, against the floors of touching every page of every
// media file and of reading each once. The probes alone are timed as well,
// which splits the frame walk from the rest of the scan. The feed written is
// left at the path given, for the suite to check every duration in it.
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "bench/bench_util.h"
#include "quorvane_podcastfeed.h"

namespace {

constexpr int kRounds = 7;

std::vector<std::string> media_files(const std::string &folder) {
    std::vector<std::string> files;
    for (const auto &entry : std::filesystem::directory_iterator(folder)) {
        const std::string ext = entry.path().extension().string();
        if (ext == ".mp3" || ext == ".m4a" || ext == ".mp4") files.push_back(entry.path().string());
    }
    return files;
}

bool whole_job(const std::string &folder, const std::string &feed) {
    return feed_episode_scan(folder.c_str(), nullptr) == 0 && feed_generate_to(feed.c_str()) == 0;
}

}  // namespace

int main(int argc, char **argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: scan_bench FOLDER FEED_FILE\n");
        return 2;
    }
    const std::string folder = argv[1];
    const std::string feed = argv[2];
    const std::vector<std::string> files = media_files(folder);
    for (const std::string &f : files) bench::read_whole(f);  // into the page cache
    if (!whole_job(folder, feed)) {
        std::fprintf(stderr, "scan_bench: %s\n", feed_last_error());
        return 1;
    }
    bool ok = true;
    const auto ms = bench::medians_ms(
        kRounds, {[&] { for (const std::string &f : files) bench::touch_pages(f); },
                  [&] { for (const std::string &f : files) bench::read_whole(f); },
                  [&] { for (const std::string &f : files) media_probe(f.c_str()); },
                  [&] { ok = ok && feed_episode_scan(folder.c_str(), nullptr) == 0; },
                  [&] { ok = ok && whole_job(folder, feed); }});
    if (!ok) {
        std::fprintf(stderr, "scan_bench: %s\n", feed_last_error());
        return 1;
    }
    const std::string count = std::to_string(files.size());
    bench::row("scan", folder, "page-touch floor", ms[0], count);
    bench::row("scan", folder, "read floor", ms[1], count);
    bench::row("scan", folder, "media_probe each", ms[2], count);
    bench::row("scan", folder, "feed_episode_scan", ms[3], std::to_string(feed_episode_count()));
    bench::row("scan", folder, "scan + feed_generate_to", ms[4], std::to_string(feed_episode_count()));
    return 0;
}
