// MPEG audio: frame lengths and play times of every layer and version, the
// ID3v2 tag in front, and where the walk stops.
#include <gtest/gtest.h>

#include <string>

#include "probe_support.h"
#include "support/media_builders.h"

namespace pf_test {
namespace {

const std::string kNoFrames = "no valid MP3 frames";

MpegFrame frame(int version, int layer, int bitrate_index, int rate_index, bool padding = false) {
    MpegFrame f;
    f.version = version;
    f.layer = layer;
    f.bitrate_index = bitrate_index;
    f.sample_rate_index = rate_index;
    f.padding = padding;
    return f;
}

// A wrong frame length makes the walk land off the next header and stop
// early, so each duration below also checks the length of its frames. Counts
// end one frame past a whole second, so rounding in the sum cannot matter.
TEST(Mp3Probe, FrameLengthsAndPlayTimesOfEveryLayer) {
    const struct {
        const char *what;
        MpegFrame f;
        std::size_t length;  // bytes per frame, as the standards give it
        std::size_t count;
        long long duration_s;
        long long kbps;
    } cases[] = {
        {"MPEG-1 Layer III 128k 44.1k", frame(mpeg1, layer3, 9, 0), 417, 10000, 261, 128},
        {"MPEG-1 Layer III padded", frame(mpeg1, layer3, 9, 0, true), 418, 10000, 261, 128},
        {"MPEG-1 Layer III 320k 48k", frame(mpeg1, layer3, 14, 1), 960, 2501, 60, 320},
        {"MPEG-2 Layer III 64k 22.05k", frame(mpeg2, layer3, 8, 0), 208, 2000, 52, 64},
        {"MPEG-2.5 Layer III 8k 8k", frame(mpeg25, layer3, 1, 2), 72, 1001, 72, 8},
        {"MPEG-1 Layer II 192k 48k", frame(mpeg1, layer2, 10, 1), 576, 10001, 240, 192},
        {"MPEG-2 Layer II 64k 24k", frame(mpeg2, layer2, 8, 1), 384, 5001, 240, 64},
        {"MPEG-1 Layer I 384k 48k", frame(mpeg1, layer1, 12, 1), 384, 30001, 240, 384},
        {"MPEG-1 Layer I 32k 44.1k padded", frame(mpeg1, layer1, 1, 0, true), 36, 1000, 8, 32},
        {"MPEG-2 Layer I 256k 16k", frame(mpeg2, layer1, 14, 2), 768, 10001, 240, 256},
    };
    for (const auto &c : cases) {
        ASSERT_EQ(mpeg_frame_length(c.f), c.length) << c.what;
        const Probed p = probe_memory("a.mp3", mpeg_frames(c.f, c.count));
        EXPECT_EQ(p.duration_s, c.duration_s) << c.what << ": " << p.text;
        EXPECT_EQ(p.bitrate_kbps, c.kbps) << c.what;
        EXPECT_EQ(p.codec, "mp3") << c.what;
        EXPECT_EQ(p.mime, "audio/mpeg") << c.what;
    }
}

// Reserved layer and version values keep the Layer III treatment: the
// reserved layer is measured as Layer III, the reserved version as MPEG-2.5.
TEST(Mp3Probe, ReservedLayerAndVersionAreMeasuredAsLayerThree) {
    const struct {
        const char *what;
        MpegFrame f;
        std::size_t length;
        std::size_t count;
        long long duration_s;
    } cases[] = {
        {"reserved layer, MPEG-1 128k 44.1k", frame(mpeg1, layer_reserved, 9, 0), 417, 10000, 261},
        {"reserved version, Layer III 64k 8k", frame(mpeg_reserved, layer3, 8, 2), 576, 1001, 72},
    };
    for (const auto &c : cases) {
        std::string bytes;
        for (std::size_t i = 0; i < c.count; ++i) bytes += mpeg_frame(c.f, c.length);
        const Probed p = probe_memory("a.mp3", bytes);
        EXPECT_EQ(p.duration_s, c.duration_s) << c.what << ": " << p.text;
    }
}

TEST(Mp3Probe, MixedFramesSumTheirTimesAndReportTheLastBitrate) {
    // A real constant-bitrate stream at 44.1 kHz pads some frames.
    std::string cbr;
    for (int i = 0; i < 3000; ++i) cbr += mpeg_frame(frame(mpeg1, layer3, 9, 0, i % 3 == 0));
    // Variable bitrate, ending at 96 kbps whatever the average.
    const std::string vbr = mpeg_frames(frame(mpeg1, layer3, 14, 0), 2000) + mpeg_frames(frame(mpeg1, layer3, 7, 0), 1);
    // An Info frame counts as one frame of audio.
    const std::string with_info = mpeg_info_frame(frame(mpeg1, layer3, 9, 0), 38, 38 * 417, false) +
                                  mpeg_frames(frame(mpeg1, layer3, 9, 0), 38);
    const struct {
        const char *what;
        const std::string &bytes;
        long long duration_s;
        long long kbps;
    } cases[] = {
        {"padded and unpadded frames", cbr, 78, 128},
        {"variable bitrate", vbr, 52, 96},
        {"Info frame plus 38 frames = 39 x 1152 / 44100 s", with_info, 1, 128},
    };
    for (const auto &c : cases) {
        const Probed p = probe_memory("a.mp3", c.bytes);
        EXPECT_EQ(p.duration_s, c.duration_s) << c.what << ": " << p.text;
        EXPECT_EQ(p.bitrate_kbps, c.kbps) << c.what;
    }
}

// 72-byte MPEG-2.5 frames last 0.072 s: 13 frames are 0.936 s, 14 are 1.008 s,
// so whether the 14th frame counted shows in the whole seconds.
TEST(Mp3Probe, WhereTheWalkStops) {
    const MpegFrame f = frame(mpeg25, layer3, 1, 2);
    const std::string thirteen = mpeg_frames(f, 13);
    const struct {
        const char *what;
        std::string bytes;
        long long duration_s;
    } cases[] = {
        {"last frame cut short still counts", thirteen + mpeg_frame(f, 40), 1},
        {"a header alone at the end counts", thirteen + mpeg_header(f), 1},
        {"three header bytes at the end do not", thirteen + mpeg_header(f).substr(0, 3), 0},
        {"junk after the frames ends the walk", thirteen + "junk" + mpeg_frames(f, 5), 0},
        {"an ID3v1 tag at the end is ignored", mpeg_frames(f, 14) + id3v1_tag("title"), 1},
        {"a free-format frame later ends the walk", thirteen + mpeg_frame(frame(mpeg25, layer3, 0, 2), 72) + mpeg_frames(f, 5), 0},
        {"a forbidden bitrate later ends the walk", thirteen + mpeg_frame(frame(mpeg25, layer3, 15, 2), 72), 0},
        {"a reserved sample rate later ends the walk", thirteen + mpeg_frame(frame(mpeg25, layer3, 1, 3), 72), 0},
        // Zeros have the padding bit clear, so they meet the decoding slot
        // that padded frames never filled; the walk must still stop there.
        {"zeros after padded frames end the walk", mpeg_frames(frame(mpeg25, layer3, 1, 2, true), 14) + std::string(100, '\0'), 1},
    };
    for (const auto &c : cases) {
        const Probed p = probe_memory("a.mp3", c.bytes);
        EXPECT_EQ(p.error, "") << c.what;
        EXPECT_EQ(p.duration_s, c.duration_s) << c.what << ": " << p.text;
    }
}

TEST(Mp3Probe, NoFrameAtTheStartFails) {
    const MpegFrame good = frame(mpeg1, layer3, 9, 0);
    const struct {
        const char *what;
        std::string bytes;
    } cases[] = {
        {"empty file", ""},
        {"three bytes", mpeg_header(good).substr(0, 3)},
        {"one byte of junk before the first frame", std::string(1, '\0') + mpeg_frames(good, 10)},
        {"free-format first frame", mpeg_frame(frame(mpeg1, layer3, 0, 0), 417) + mpeg_frames(good, 5)},
        {"forbidden bitrate first", mpeg_frame(frame(mpeg1, layer3, 15, 0), 417) + mpeg_frames(good, 5)},
        {"reserved sample rate first", mpeg_frame(frame(mpeg1, layer3, 9, 3), 417) + mpeg_frames(good, 5)},
        {"sync bits incomplete", std::string("\xFF\xC0\x90\x00", 4) + mpeg_frames(good, 5)},
        {"a tag claiming more than the file", id3v2_header(3, 0, "\x7F\x7F\x7F\x7F") + mpeg_frames(good, 5)},
        {"a tag of an unknown major version", id3v2_tag(5, 100) + mpeg_frames(good, 5)},
    };
    for (const auto &c : cases) {
        const Probed p = probe_memory("a.mp3", c.bytes);
        EXPECT_EQ(p.error, kNoFrames) << c.what << ": " << p.text;
        EXPECT_EQ(p.size, static_cast<long long>(c.bytes.size())) << c.what;
    }
}

TEST(Mp3Probe, Id3v2TagsOfEveryVersionAreSteppedOver) {
    const std::string audio = mpeg_frames(frame(mpeg1, layer3, 9, 0), 1000);  // 26 s
    const struct {
        const char *what;
        std::string tag;
    } cases[] = {
        {"version 3, size bytes 00 00 02 01", id3v2_header(3, 0, std::string("\x00\x00\x02\x01", 4)) +
                                                  std::string(257, '\0')},
        {"version 2", id3v2_tag(2, 300)},
        {"version 4", id3v2_tag(4, 1000)},
        {"version 4 with a footer", id3v2_tag(4, 1000, true)},
        {"version 3 ignores the footer flag", id3v2_header(3, 0x10, syncsafe32(20)) + std::string(20, '\0')},
        {"size bytes keep only their low seven bits", id3v2_header(3, 0, "\x80\x80\x81\x81") + std::string(129, '\0')},
        {"an empty tag", id3v2_tag(3, 0)},
    };
    for (const auto &c : cases) {
        const Probed p = probe_memory("a.mp3", c.tag + audio);
        EXPECT_EQ(p.duration_s, 26) << c.what << ": " << p.text;
        EXPECT_EQ(p.size, static_cast<long long>(c.tag.size() + audio.size())) << c.what;
    }
}

}  // namespace
}  // namespace pf_test
