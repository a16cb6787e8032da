// Chunk and box walks over files made of nothing but headers: a WAV whose
// header is followed by 10 GiB of holes (sparse, so it costs no disk), and a
// WAV and an MP4 of 256 MiB of the smallest chunks and boxes there are. Each
// is timed against a baseline of the same run: the probe of a small ordinary
// file for the sparse one, the plain read loop for the others. Prints one row
// each, then the targets; exits 1 when one is not met.
#include <fcntl.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "bench/bench_util.h"
#include "quorvane_podcastfeed.h"

namespace {

constexpr std::int64_t kSparseBytes = std::int64_t{10} << 30;
constexpr std::int64_t kHeaderBytes = std::int64_t{256} << 20;
constexpr double kSparseTargetMs = 100;
constexpr double kHeadersTargetMs = 2000;

std::string le32(std::uint32_t v) {
    std::string s(4, '\0');
    for (int i = 0; i < 4; ++i) s[i] = static_cast<char>(v >> (8 * i));
    return s;
}

std::string be32(std::uint32_t v) {
    std::string s(4, '\0');
    for (int i = 0; i < 4; ++i) s[i] = static_cast<char>(v >> (24 - 8 * i));
    return s;
}

std::string box(const char *type, const std::string &payload) {
    return be32(static_cast<std::uint32_t>(8 + payload.size())) + type + payload;
}

// 8-bit mono at 8000 Hz: one byte a sample.
std::string wav_format() {
    return "fmt " + le32(16) + std::string("\x01\x00\x01\x00", 4) + le32(8000) + le32(8000) +
           std::string("\x01\x00\x08\x00", 4);
}

// A movie of 60 s with one mp4a track.
std::string movie() {
    const std::string mvhd = box("mvhd", be32(0) + be32(0) + be32(0) + be32(1000) + be32(60000) + std::string(80, '\0'));
    const std::string entry = box("mp4a", std::string(28, '\0'));
    const std::string stsd = box("stsd", be32(0) + be32(1) + entry);
    return box("moov", mvhd + box("trak", box("mdia", box("minf", box("stbl", stsd)))));
}

bool write_all(int fd, const std::string &bytes) {
    return ::write(fd, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size());
}

// head, then copies of unit for about `total` bytes, then tail; or, with an
// empty unit, head and a hole up to `total` bytes (none when 0).
bool make_file(const std::string &path, const std::string &head, const std::string &unit, std::int64_t total,
               const std::string &tail) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd < 0) return false;
    bool ok = write_all(fd, head);
    if (unit.empty()) {
        ok = ok && (total == 0 || ::ftruncate(fd, static_cast<off_t>(total)) == 0);
    } else {
        std::string block;
        while (block.size() < (std::size_t{1} << 20)) block += unit;
        for (std::int64_t written = 0; ok && written < total; written += static_cast<std::int64_t>(block.size()))
            ok = write_all(fd, block);
        ok = ok && write_all(fd, tail);
    }
    return ::close(fd) == 0 && ok;
}

std::string outcome(const std::string &probe_result) {
    const std::string key = "\"duration_s\":";
    const std::size_t at = probe_result.find(key);
    if (at == std::string::npos) return "error";
    return probe_result.substr(at + key.size(), probe_result.find(',', at) - at - key.size());
}

struct Target {
    std::string text;
    bool met;
};

}  // namespace

int main(int argc, char **argv) {
    if (argc < 2 || argc > 3) {
        std::fprintf(stderr, "usage: walk_bench SCRATCH_FOLDER [ROUNDS]\n");
        return 2;
    }
    const std::string folder = argv[1];
    const int rounds = argc == 3 ? std::atoi(argv[2]) : 5;
    const std::string riff = "RIFF" + le32(0xFFFFFFFF) + "WAVE";
    const std::string small = folder + "/walk-small.wav";
    const std::string sparse = folder + "/walk-sparse.wav";
    const std::string chunks = folder + "/walk-chunks.wav";
    const std::string boxes = folder + "/walk-boxes.mp4";
    const std::string one_second = "data" + le32(8000) + std::string(8000, '\x80');
    if (!make_file(small, riff + wav_format() + one_second, "", 0, "") ||
        !make_file(sparse, riff, "", kSparseBytes, "") ||
        !make_file(chunks, riff + wav_format(), "JUNK" + le32(0), kHeaderBytes, one_second) ||
        !make_file(boxes, box("ftyp", "isom" + be32(0x200)), box("free", ""), kHeaderBytes, movie())) {
        std::fprintf(stderr, "walk_bench: cannot write the files in %s\n", folder.c_str());
        return 1;
    }
    std::vector<Target> targets;
    {
        const std::string value = outcome(media_probe(sparse.c_str()));
        const auto ms = bench::medians_ms(rounds, {[&] { media_probe(small.c_str()); },
                                                   [&] { media_probe(sparse.c_str()); }});
        bench::row("walk", small, "media_probe", ms[0], outcome(media_probe(small.c_str())));
        bench::row("walk", sparse, "media_probe", ms[1], value);
        char text[160];
        std::snprintf(text, sizeof text, "10 GiB of holes: %.3f ms, %.1f x a small file (target %.0f ms)", ms[1],
                      ms[1] / ms[0], kSparseTargetMs);
        targets.push_back({text, ms[1] < kSparseTargetMs});
    }
    for (const std::string &path : {chunks, boxes}) {
        bench::read_whole(path);  // into the page cache
        const std::string value = outcome(media_probe(path.c_str()));
        const auto ms = bench::medians_ms(rounds, {[&] { bench::read_whole(path); },
                                                   [&] { media_probe(path.c_str()); }});
        bench::row("walk", path, "read floor", ms[0]);
        bench::row("walk", path, "media_probe", ms[1], value);
        char text[200];
        std::snprintf(text, sizeof text, "%s: %.1f ms, %.2f x the read floor (target %.0f ms)", path.c_str(), ms[1],
                      ms[1] / ms[0], kHeadersTargetMs);
        targets.push_back({text, ms[1] < kHeadersTargetMs && value != "error"});
    }
    for (const std::string &path : {small, sparse, chunks, boxes}) std::remove(path.c_str());
    std::printf("\n== Walk targets\n");
    bool all = true;
    for (const Target &t : targets) {
        std::printf("  %-8s %s\n", t.met ? "met" : "NOT MET", t.text.c_str());
        all = all && t.met;
    }
    return all ? 0 : 1;
}
