// The bytes the readers walk: a file read through its buffer must serve what
// the same bytes in memory serve, for every way a walk asks, and a probe of a
// file must answer as the probe of its bytes in memory does.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "core/platform.h"
#include "probe/source.h"
#include "probe_support.h"
#include "support/media_builders.h"

namespace pf_test {
namespace {

// A few buffers' worth of bytes that differ from place to place, so a span
// served from the wrong position shows.
std::string varied_bytes(std::size_t n) {
    std::string s(n, '\0');
    std::uint32_t x = 12345;
    for (char &c : s) {
        x = x * 1103515245u + 12345u;
        c = static_cast<char>(x >> 24);
    }
    return s;
}

using Asks = std::vector<std::pair<std::int64_t, std::size_t>>;

Asks steps(std::int64_t from, std::int64_t step, std::int64_t until, std::size_t n) {
    Asks asks;
    for (std::int64_t pos = from; pos < until; pos += step) asks.emplace_back(pos, n);
    return asks;
}

TEST(FileSource, ServesWhatMemoryServes) {
    constexpr std::int64_t kSize = 300000;  // more than two buffers
    const std::int64_t buffer = 128 * 1024;
    const struct {
        const char *what;
        bool in_order;
        Asks asks;
    } cases[] = {
        {"frame headers in order", true, steps(0, 417, kSize + 417, 4)},
        {"frame headers in order, read small first", false, steps(10, 417, kSize + 417, 4)},
        {"chunk headers with gaps shorter than a read", false, steps(12, 3000, kSize, 8)},
        {"box headers with gaps longer than a read", false, steps(0, 70001, kSize, 16)},
        {"spans cut by the buffer's end", true,
         {{buffer - 3, 8}, {buffer + 5, 64}, {2 * buffer - 63, 64}, {2 * buffer - 1, 2}, {2 * buffer + 1, 4}}},
        {"jumps back and ahead", false,
         {{200000, 16}, {100, 8}, {4095, 2}, {4094, 64}, {8191, 64}, {150000, 10}, {149990, 20}, {0, 12}}},
        {"the end of the file and past it", false,
         {{kSize - 10, 10}, {kSize - 1, 1}, {kSize, 1}, {kSize - 4, 8}, {kSize + 100, 4}, {-1, 4}, {0, 1}}},
    };
    TempDir dir;
    // A file of several buffers, and one short enough to be read whole at once.
    for (const std::int64_t size : {kSize, std::int64_t{10000}}) {
        const std::string bytes = varied_bytes(static_cast<std::size_t>(size));
        const std::string path = dir.file("bytes" + std::to_string(size));
        write_file(path, bytes);
        for (const auto &c : cases) {
            const pf::ReadHandle f = pf::open_for_read(path.c_str());
            ASSERT_TRUE(f);
            pf::FileSource file(f, size);
            pf::MemorySource memory(bytes.data(), bytes.size());
            EXPECT_EQ(file.length(), size) << c.what;
            if (c.in_order) file.reading_in_order();
            for (const auto &[pos, n] : c.asks) {
                const unsigned char *want = memory.bytes_at(pos, n);
                const unsigned char *got = file.bytes_at(pos, n);
                ASSERT_EQ(got == nullptr, want == nullptr) << size << ", " << c.what << ": " << n << " bytes at " << pos;
                if (want != nullptr) {
                    ASSERT_EQ(std::memcmp(got, want, n), 0) << size << ", " << c.what << ": " << n << " bytes at " << pos;
                }
            }
        }
    }
}

// Files long enough for many buffers, laid out so the walks cross buffers,
// jump and read through gaps; each is probed from a file and from memory.
TEST(FileSource, ProbeOfAFileAnswersAsTheProbeOfItsBytes) {
    const MpegFrame f;
    const std::string too_long_tag = id3v2_header(3, 0, std::string("\x7F\x7F\x7F\x7F", 4));
    std::string many_chunks;
    for (int i = 0; i < 20000; ++i) many_chunks += chunk("junk", "");
    const std::string media(1000000, '\0');
    const struct {
        const char *name;
        std::string bytes;
        long long duration_s;  // -1 for a failure
    } cases[] = {
        {"short.mp3", mpeg_frames(f, 100), 2},
        {"long.mp3", mpeg_frames(f, 10000), 261},
        {"tagged.mp3", id3v2_tag(3, 257) + mpeg_frames(f, 10000), 261},
        {"footer.mp3", id3v2_tag(4, 20, true) + mpeg_frames(f, 10000), 261},
        {"lying-tag.mp3", too_long_tag + mpeg_frames(f, 10000), -1},
        {"moov-last.m4a", ftyp() + box("mdat", media) + box("moov", mvhd(0, 1000, 9000) + track("mp4a")), 9},
        {"short-moov-last.m4a",
         ftyp() + box("mdat", media.substr(0, 8000)) + box("moov", mvhd(0, 1000, 9000) + track("mp4a")), 9},
        {"chunks.wav", riff_wave(many_chunks + wav_fmt(1, 1, 8000, 8) + wav_data(24000)), 3},
    };
    TempDir dir;
    for (const auto &c : cases) {
        const std::string path = dir.file(c.name);
        write_file(path, c.bytes);
        const Probed from_file = probe_path(path);
        EXPECT_EQ(from_file.text, probe_memory(c.name, c.bytes).text) << c.name;
        EXPECT_EQ(from_file.duration_s, c.duration_s) << c.name << ": " << from_file.text;
    }
}

}  // namespace
}  // namespace pf_test
