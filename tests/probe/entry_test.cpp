// The probe entry: result forms, last-error texts, dispatch by extension and
// the bitrate derived from the size.
#include <gtest/gtest.h>

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <limits>
#include <string>

#include "probe/media_types.h"
#include "probe/readers.h"
#include "probe_support.h"
#include "support/media_builders.h"

namespace pf_test {
namespace {

std::string three_mp3_frames() { return mpeg_frames(MpegFrame{}, 3); }

TEST(ProbeEntry, NullOrEmptyPathGivesTheNullPathObject) {
    for (const char *path : {static_cast<const char *>(nullptr), ""}) {
        EXPECT_STREQ(media_probe(path), "{\"error\":\"null path\"}");
        EXPECT_STREQ(feed_last_error(), "media_probe: NULL or empty path");
    }
}

TEST(ProbeEntry, MissingFileReportsTheSystemReasonAndSizeZero) {
    TempDir dir;
    const std::string path = dir.file("absent.mp3");
    const std::string reason = std::strerror(ENOENT);
    EXPECT_EQ(std::string(media_probe(path.c_str())), "{\"error\":\"stat failed: " + reason + "\",\"size\":0}");
    EXPECT_EQ(std::string(feed_last_error()), "media_probe(" + path + "): " + reason);
}

TEST(ProbeEntry, UnsupportedExtensionCarriesTheLabelOfTheLastComponent) {
    TempDir dir;
    const struct {
        const char *name;
        const char *label;
    } cases[] = {
        {"notes.txt", ".txt"},
        {"README", "(none)"},
        {"song.mp3.txt", ".txt"},
        {"dir.x/README", "(none)"},  // a dot in a folder name is no extension
        {"clip.mp", ".mp"},
        {"take.wav.bak", ".bak"},
    };
    ASSERT_TRUE(std::filesystem::create_directory(dir.file("dir.x")));
    for (const auto &c : cases) {
        const std::string path = dir.file(c.name);
        write_file(path, "twelve bytes");
        EXPECT_EQ(std::string(media_probe(path.c_str())),
                  std::string("{\"error\":\"unsupported extension ") + c.label + "\",\"size\":12}")
            << c.name;
        EXPECT_EQ(std::string(feed_last_error()), "media_probe(" + path + "): unsupported extension");
    }
}

TEST(ProbeEntry, ExtensionsChooseReaderAndMimeWithoutRegardToCase) {
    TempDir dir;
    const std::string mp3 = three_mp3_frames();
    const std::string iso = iso_file(1000, 5000, {"mp4a"});
    const std::string wav = pcm_wav(1, 8000, 8, 8000);
    const struct {
        const char *name;
        const std::string &bytes;
        const char *mime;
        const char *codec;
    } cases[] = {
        {"SONG.MP3", mp3, "audio/mpeg", "mp3"},          {"Song.Mp3", mp3, "audio/mpeg", "mp3"},
        {"song.mp3", mp3, "audio/mpeg", "mp3"},          {"a.m4a", iso, "audio/x-m4a", "mp4a"},
        {"a.M4V", iso, "audio/x-m4a", "mp4a"},           {"a.mp4", iso, "video/mp4", "mp4a"},
        {"a.MOV", iso, "video/quicktime", "mp4a"},       {"take.wav", wav, "audio/wav", "pcm"},
        {"take.WAVE", wav, "audio/wav", "pcm"},
    };
    for (const auto &c : cases) {
        const Probed p = probe_bytes(dir, c.name, c.bytes);
        EXPECT_EQ(p.mime, c.mime) << c.name << ": " << p.text;
        EXPECT_EQ(p.codec, c.codec) << c.name;
    }
}

TEST(ProbeEntry, SuccessTextIsExactAndEmptiesTheLastError) {
    TempDir dir;
    media_probe(nullptr);
    // 10,000 bytes, 10 s: the ISO reader leaves the bitrate to the size.
    const std::string head = iso_file(1000, 10000, {"mp4a"});
    const std::string bytes = head + std::string(10000 - head.size(), 'x');
    const std::string path = dir.file("ten.m4a");
    write_file(path, bytes);
    EXPECT_STREQ(media_probe(path.c_str()),
                 "{\"duration_s\":10,\"size\":10000,\"mime\":\"audio/x-m4a\",\"bitrate_kbps\":8,\"codec\":\"mp4a\"}");
    EXPECT_STREQ(feed_last_error(), "");
}

TEST(ProbeEntry, EveryCallReturnsTheSameBufferWithTheLatestResult) {
    const char *first = media_probe(nullptr);
    const char *second = media_probe("/no/such/file.mp3");
    EXPECT_EQ(first, second);
    EXPECT_NE(std::string(second).find("stat failed"), std::string::npos);
}

TEST(ProbeEntry, ReaderFailuresCarryTheirTextsAndTheSize) {
    TempDir dir;
    const struct {
        const char *name;
        std::string bytes;
        const char *error;
        const char *last_error;
    } cases[] = {
        {"x.mp4", "tiny", "no mvhd/moov found (not an ISO media file?)", "no mvhd/moov"},
        {"x.mp3", "not audio", "no valid MP3 frames", "no valid MP3 frames"},
        {"x.wav", "RIFX....WAVE", "not a RIFF/WAVE file", "not a WAV"},
        {"x.wave", riff_wave(wav_data(4)), "WAV: missing fmt chunk", "WAV fmt missing"},
    };
    for (const auto &c : cases) {
        const std::string path = dir.file(c.name);
        write_file(path, c.bytes);
        EXPECT_EQ(std::string(media_probe(path.c_str())),
                  std::string("{\"error\":\"") + c.error + "\",\"size\":" + std::to_string(c.bytes.size()) + "}");
        EXPECT_EQ(std::string(feed_last_error()), "media_probe(" + path + "): " + c.last_error);
    }
}

TEST(ProbeEntry, FolderFailsToOpen) {
    TempDir dir;
    const std::string folder = dir.file("folder.mp3");
    ASSERT_TRUE(std::filesystem::create_directory(folder));
    const Probed p = probe_path(folder);
    EXPECT_EQ(p.error, "open failed");
    EXPECT_EQ(std::string(feed_last_error()), "media_probe(" + folder + "): cannot open");
}

TEST(ProbeEntry, BitrateFromSizeForIsoFiles) {
    TempDir dir;
    const struct {
        std::uint32_t duration_ms;
        long long kbps;
    } cases[] = {{10000, 800}, {0, 0}, {999, 0}};  // under a second is a duration of 0
    for (const auto &c : cases) {
        const std::string head = iso_file(1000, c.duration_ms, {"mp4a"});
        const Probed p = probe_bytes(dir, "a.mp4", head + std::string(1000000 - head.size(), '\0'));
        EXPECT_EQ(p.size, 1000000);
        EXPECT_EQ(p.bitrate_kbps, c.kbps) << c.duration_ms;
    }
}

TEST(BitrateFromSize, TruncatesAndSaturatesWithoutOverflow) {
    constexpr std::int64_t kMax64 = std::numeric_limits<std::int64_t>::max();
    constexpr std::int32_t kMax32 = std::numeric_limits<std::int32_t>::max();
    const struct {
        std::int64_t size, seconds;
        std::int32_t kbps;
    } cases[] = {
        {1000000, 10, 800},
        {999, 8, 0},
        {3000, 3, 8},
        {1, 1, 0},
        {0, 10, 0},
        {1000, 0, 0},
        {std::int64_t{1} << 40, 1, kMax32},     // beyond 32 bits: saturates
        {kMax64, 1, kMax32},                     // size x 8 beyond 64 bits
        {kMax64, std::int64_t{1} << 50, 65},     // (2^66 - 8) / 2^50 = 65535.99...
        {kMax64, kMax64, 0},
    };
    for (const auto &c : cases)
        EXPECT_EQ(pf::bitrate_from_size(c.size, c.seconds), c.kbps) << c.size << " / " << c.seconds;
}

TEST(IsMediaName, OnlyM4aMp3Mp4InAnyCaseAndOnlyMp4IsVideo) {
    const struct {
        const char *name;
        int media;
        bool video;
    } cases[] = {
        {"a.mp3", 1, false},  {"A.MP3", 1, false},  {".m4a", 1, false},    {"x.Mp4", 1, true},
        {"a.mov", 0, false},  {"a.m4v", 0, false},  {"a.wav", 0, false},   {"a.wave", 0, false},
        {"mp3", 0, false},    {"", 0, false},       {"a.mp3 ", 0, false},  {"a.mp3.txt", 0, false},
        {nullptr, 0, false},
    };
    for (const auto &c : cases) {
        const char *name = c.name ? c.name : "(null)";
        EXPECT_EQ(pf::is_media_name(c.name), c.media) << name;
        EXPECT_EQ(pf::is_video_name(c.name), c.video) << name;
    }
}

}  // namespace
}  // namespace pf_test
