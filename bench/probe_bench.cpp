// Probing each file named on the command line against the floors of reading
// it from the page cache: a plain read loop, a mapping touched once per page
// and one touched once per 128 kbps frame. Rounds alternate the four; one row
// each with the medians, media_probe's row carrying the duration it found.
#include <cstdio>
#include <string>

#include "bench/bench_util.h"
#include "quorvane_podcastfeed.h"

namespace {

constexpr int kRounds = 15;
// The length of a 128 kbps frame at 44.1 kHz: a walk over such a file looks
// at one byte in every stride of this length.
constexpr std::size_t kFrameStride = 417;

std::string duration_of(const std::string &probe_result) {
    const std::string key = "\"duration_s\":";
    const std::size_t at = probe_result.find(key);
    if (at == std::string::npos) return "error";
    return probe_result.substr(at + key.size(), probe_result.find(',', at) - at - key.size());
}

}  // namespace

int main(int argc, char **argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: probe_bench FILE...\n");
        return 2;
    }
    int status = 0;
    for (int i = 1; i < argc; ++i) {
        const std::string path = argv[i];
        if (bench::read_whole(path) <= 0) {  // also brings it into the page cache
            std::fprintf(stderr, "probe_bench: cannot read %s\n", path.c_str());
            status = 1;
            continue;
        }
        const std::string duration = duration_of(media_probe(path.c_str()));
        const auto ms = bench::medians_ms(kRounds, {[&] { bench::read_whole(path); },
                                                   [&] { bench::touch_pages(path); },
                                                   [&] { bench::touch_pages(path, kFrameStride); },
                                                   [&] { media_probe(path.c_str()); }});
        bench::row("probe", path, "read floor", ms[0]);
        bench::row("probe", path, "page-touch floor", ms[1]);
        bench::row("probe", path, "417-byte touch floor", ms[2]);
        bench::row("probe", path, "media_probe", ms[3], duration);
    }
    return status;
}
