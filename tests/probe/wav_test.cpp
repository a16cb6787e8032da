// RIFF/WAVE files: the format chunk, the chunk walk and the products that
// give play time and bitrate.
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <string>

#include "probe_support.h"
#include "support/media_builders.h"

namespace pf_test {
namespace {

const std::string kNotWav = "not a RIFF/WAVE file";
const std::string kNoFmt = "WAV: missing fmt chunk";

// The 16 format fields followed by extra bytes, as one "fmt " chunk body.
std::string fmt_body(std::uint16_t tag, std::uint16_t channels, std::uint32_t rate, std::uint16_t bits,
                     std::size_t extra = 0) {
    return le16(tag) + le16(channels) + le32(rate) + le32(0) + le16(0) + le16(bits) + std::string(extra, '\0');
}


TEST(WavProbe, FormatGivesPlayTimeBitrateAndCodec) {
    const struct {
        const char *what;
        std::string bytes;
        long long duration_s, kbps;
        const char *codec;
    } cases[] = {
        {"16-bit stereo 44.1k", riff_wave(wav_fmt(1, 2, 44100, 16) + wav_data(1764000)), 10, 1411, "pcm"},
        {"8-bit mono 8k", pcm_wav(1, 8000, 8, 24000), 3, 64, "pcm"},
        {"24-bit stereo 48k", riff_wave(wav_fmt(1, 2, 48000, 24) + wav_data(2880000)), 10, 2304, "pcm"},
        {"extensible", riff_wave(wav_fmt_extensible(2, 48000, 24) + wav_data(2880000)), 10, 2304, "extensible"},
        {"format tag 0x0055", riff_wave(wav_fmt(0x55, 2, 44100, 16) + wav_data(176400)), 1, 1411, "wma"},
        {"12 bits count one byte for the time", riff_wave(wav_fmt(7, 1, 8000, 12) + wav_data(16000)), 2, 96,
         "unknown"},
        {"4-bit format", riff_wave(wav_fmt(0x11, 1, 8000, 4) + wav_data(8000)), 0, 0, "unknown"},
        {"no data chunk", riff_wave(wav_fmt(1, 2, 44100, 16)), 0, 0, "pcm"},
        {"empty data chunk", riff_wave(wav_fmt(1, 2, 44100, 16) + wav_data(0)), 0, 0, "pcm"},
        // The bitrate would not fit 32 bits: it saturates instead of wrapping.
        {"largest fields",
         riff_wave(chunk("fmt ", fmt_body(1, 65535, 0xFFFFFFFF, 65535)) + chunk_sized("data", 0xFFFFFFFF, "1234")), 0,
         2147483647, "pcm"},
    };
    for (const auto &c : cases) {
        const Probed p = probe_memory("a.wav", c.bytes);
        EXPECT_EQ(p.error, "") << c.what;
        EXPECT_EQ(p.duration_s, c.duration_s) << c.what << ": " << p.text;
        EXPECT_EQ(p.bitrate_kbps, c.kbps) << c.what;
        EXPECT_EQ(p.codec, c.codec) << c.what;
        EXPECT_EQ(p.mime, "audio/wav") << c.what;
    }
}

// Streaming writers leave a placeholder where the data size belongs (ffmpeg
// writing to a pipe 0xFFFFFFFF, sox 0x7FFFF000) and an interrupted copy holds
// less than its header states: the play time is that of the bytes present.
TEST(WavProbe, DataSizeBeyondTheFileCountsTheBytesPresent) {
    const std::string fmt = wav_fmt(1, 1, 8000, 8);
    const std::string two_seconds(16000, '\x80');
    const struct {
        const char *what;
        std::string bytes;
        long long duration_s, kbps;
    } cases[] = {
        {"unknown length from a pipe", riff_wave(fmt + chunk_sized("data", 0xFFFFFFFF, two_seconds)), 2, 64},
        {"sox placeholder", riff_wave(fmt + chunk_sized("data", 0x7FFFF000, two_seconds)), 2, 64},
        {"file cut short", riff_wave(fmt + chunk_sized("data", 80000, two_seconds)), 2, 64},
        {"header with nothing behind it", riff_wave(fmt + chunk_sized("data", 80000, "")), 0, 0},
        {"trailing chunk after the data", riff_wave(fmt + wav_data(16000) + chunk("LIST", std::string(64, 'x'))), 2,
         64},
    };
    for (const auto &c : cases) {
        const Probed p = probe_memory("a.wav", c.bytes);
        EXPECT_EQ(p.error, "") << c.what;
        EXPECT_EQ(p.duration_s, c.duration_s) << c.what << ": " << p.text;
        EXPECT_EQ(p.bitrate_kbps, c.kbps) << c.what;
    }
}

// A stream beyond 4 GiB cannot state its size in 32 bits: the placeholder
// stands for every byte present, while any other size still caps them. The
// files are sparse, so they cost no disk.
TEST(WavProbe, PlaceholderDataSizeCountsPastFourGiB) {
    TempDir dir;
    constexpr std::uintmax_t kSixGiB = std::uintmax_t{6} << 30;
    const struct {
        const char *what;
        std::uint32_t data_size;
        long long duration_s;
    } cases[] = {
        {"placeholder", 0xFFFFFFFF, static_cast<long long>(kSixGiB / 176400)},
        {"largest real size", 0xFFFFFFFE, 0xFFFFFFFEll / 176400},
    };
    for (const auto &c : cases) {
        const std::string path = dir.file("stream.wav");
        const std::string header = riff_wave(wav_fmt(1, 2, 44100, 16) + chunk_sized("data", c.data_size, ""));
        write_file(path, header);
        std::filesystem::resize_file(path, header.size() + kSixGiB);
        const Probed p = probe_path(path);
        EXPECT_EQ(p.error, "") << c.what;
        EXPECT_EQ(p.duration_s, c.duration_s) << c.what << ": " << p.text;
        EXPECT_EQ(p.bitrate_kbps, 1411) << c.what;
    }
}

TEST(WavProbe, ChunkWalk) {
    const std::string fmt = wav_fmt(1, 1, 8000, 8);
    const struct {
        const char *what;
        std::string bytes;
        long long duration_s;
    } cases[] = {
        {"odd chunk skipped with its pad byte", riff_wave(chunk("LIST", std::string(13, 'x')) + fmt + wav_data(8000)),
         1},
        {"fmt of 18 bytes read as 16", riff_wave(chunk("fmt ", fmt_body(1, 1, 8000, 8, 2)) + wav_data(16000)), 2},
        {"a later fmt chunk replaces the first",
         riff_wave(fmt + chunk("fmt ", fmt_body(1, 2, 8000, 8)) + wav_data(16000)), 1},
        {"a short later fmt chunk changes nothing",
         riff_wave(fmt + chunk("fmt ", fmt_body(1, 2, 8000, 8).substr(0, 14)) + wav_data(16000)), 2},
        {"the first data chunk ends the walk", riff_wave(fmt + wav_data(8000) + wav_data(80000)), 1},
        // Identifiers are four printable characters; anything else ends the
        // walk as the end of the file does, before the data chunk behind it.
        {"printable identifiers are chunks", riff_wave(fmt + chunk(" ~-1", "xy") + wav_data(8000)), 1},
        {"zero bytes are no chunk", riff_wave(fmt + std::string(64, '\0') + wav_data(8000)), 0},
        {"a control byte is no identifier", riff_wave(fmt + chunk("JU\x1FK", "") + wav_data(8000)), 0},
        {"DEL is no identifier", riff_wave(fmt + chunk("JUN\x7F", "") + wav_data(8000)), 0},
        {"a byte above ASCII is no identifier", riff_wave(fmt + chunk("\x80UNK", "") + wav_data(8000)), 0},
    };
    for (const auto &c : cases) {
        const Probed p = probe_memory("a.wav", c.bytes);
        EXPECT_EQ(p.duration_s, c.duration_s) << c.what << ": " << p.text;
    }
}

TEST(WavProbe, HeaderAndFormatFailures) {
    const std::string data = wav_data(8000);
    const struct {
        const char *what;
        std::string bytes;
        const std::string &error;
    } cases[] = {
        {"empty file", "", kNotWav},
        {"eleven bytes", std::string("RIFF\0\0\0\0WAV", 11), kNotWav},
        {"RIFX", "RIFX" + le32(4) + "WAVE", kNotWav},
        {"RF64", "RF64" + le32(4) + "WAVE", kNotWav},
        {"not WAVE", "RIFF" + le32(4) + "AVI ", kNotWav},
        {"no chunks", riff_wave(""), kNoFmt},
        {"fmt of 14 bytes", riff_wave(chunk("fmt ", fmt_body(1, 1, 8000, 8).substr(0, 14)) + data), kNoFmt},
        {"data before fmt", riff_wave(data + wav_fmt(1, 1, 8000, 8)), kNoFmt},
        {"no channels", riff_wave(wav_fmt(1, 0, 8000, 8) + data), kNoFmt},
        {"sample rate 0", riff_wave(wav_fmt(1, 1, 0, 8) + data), kNoFmt},
        {"format chunk cut short by the file", riff_wave(chunk_sized("fmt ", 16, fmt_body(1, 1, 8000, 8).substr(0, 10))),
         kNoFmt},
    };
    for (const auto &c : cases) {
        const Probed p = probe_memory("a.wav", c.bytes);
        EXPECT_EQ(p.error, c.error) << c.what << ": " << p.text;
        EXPECT_EQ(p.size, static_cast<long long>(c.bytes.size())) << c.what;
    }
}

// Chunk sizes from the file may point anywhere; every one must move the walk
// forward, and none may read outside the file.
TEST(WavProbe, HostileChunkSizesEndTheWalk) {
    std::string many_empty;
    for (int i = 0; i < 10000; ++i) many_empty += chunk("junk", "");
    const struct {
        const char *what;
        std::string bytes;
        const char *error;
    } cases[] = {
        {"chunk past the end before fmt", riff_wave(chunk_sized("LIST", 0xFFFFFFFF, "x") + wav_fmt(1, 1, 8000, 8)),
         "WAV: missing fmt chunk"},
        {"odd chunk size at the 32-bit limit", riff_wave(wav_fmt(1, 1, 8000, 8) + chunk_sized("LIST", 0xFFFFFFFF, "")),
         ""},
        {"fmt chunk claiming 4 GiB", riff_wave(chunk_sized("fmt ", 0xFFFFFFFF, fmt_body(1, 1, 8000, 8))), ""},
        {"thousands of empty chunks", riff_wave(many_empty + wav_fmt(1, 1, 8000, 8) + wav_data(16000)), ""},
        {"chunk header cut short", riff_wave(wav_fmt(1, 1, 8000, 8) + "dat"), ""},
    };
    for (const auto &c : cases) {
        const Probed p = probe_memory("a.wav", c.bytes);
        EXPECT_EQ(p.error, c.error) << c.what << ": " << p.text;
    }
}

}  // namespace
}  // namespace pf_test
