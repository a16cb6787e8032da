// Files made by a real encoder at test time, measured against the encoder
// suite's own prober.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "probe_support.h"

namespace pf_test {
namespace {

bool have_ffmpeg() {
    return std::system("ffmpeg -version >/dev/null 2>&1") == 0 && std::system("ffprobe -version >/dev/null 2>&1") == 0;
}

// The container's play time in seconds as ffprobe reports it; NAN when it
// reports none.
double ffprobe_duration(const std::string &path) {
    const std::string cmd =
        "ffprobe -v error -show_entries format=duration -of default=nw=1:nk=1 '" + path + "' 2>/dev/null";
    std::FILE *p = popen(cmd.c_str(), "r");
    if (p == nullptr) return NAN;
    char line[128] = "";
    const bool got = std::fgets(line, sizeof line, p) != nullptr;
    pclose(p);
    return got ? std::strtod(line, nullptr) : NAN;
}

bool make(const std::string &input, const std::string &options, const std::string &path) {
    const std::string cmd = "ffmpeg -nostdin -v error -y " + input + " " + options + " '" + path + "' >/dev/null 2>&1";
    return std::system(cmd.c_str()) == 0;
}

// Tolerance. The probe truncates to whole seconds, and for MP3 it counts every
// frame, the Info/Xing frame and the encoder's delay and padding included,
// where ffprobe subtracts them: a few tens of milliseconds more. The sources
// last 7.5 s and 3.5 s, half a second away from a whole second, so both
// readings must truncate to the same second; the difference stays below 1 s.
// The fragmented movies pair the tone with a picture of the same length (an
// index box of a DASH file makes ffprobe take the picture's length alone);
// ffprobe reads their length from the last packet's time, a fraction more.
TEST(FfmpegFiles, DurationAgreesWithFfprobeAndCodecIsNamed) {
    if (!have_ffmpeg()) GTEST_SKIP() << "ffmpeg/ffprobe not installed";
    const std::string tone = "-f lavfi -i sine=frequency=440:duration=7.5";
    const std::string picture = "-f lavfi -i testsrc=size=64x64:rate=10:duration=3.5";
    const std::string both = tone + " -f lavfi -i testsrc=size=64x64:rate=10:duration=7.5";
    // A keyframe every second, so that the picture is cut into fragments.
    const std::string fragments = "-c:a aac -c:v libx264 -g 10 -movflags ";
    const struct {
        const char *name;
        const std::string &input;
        std::string options;
        const char *codec;
        long long kbps;  // -1: not checked (derived from the size, or variable)
    } cases[] = {
        {"cbr.mp3", tone, "-c:a libmp3lame -b:a 128k", "mp3", 128},
        {"vbr.mp3", tone, "-c:a libmp3lame -q:a 4", "mp3", -1},
        {"mpeg2.mp3", tone, "-ar 22050 -c:a libmp3lame -b:a 64k", "mp3", 64},
        {"aac.m4a", tone, "-c:a aac", "mp4a", -1},
        {"alac.m4a", tone, "-c:a alac", "alac", -1},
        {"h264.mp4", picture, "-c:v libx264", "h264", -1},
        {"hevc.mp4", picture, "-c:v libx265 -x265-params log-level=error -tag:v hvc1", "h265", -1},
        {"clip.mov", picture, "-c:v libx264", "h264", -1},
        {"u8.wav", tone, "-c:a pcm_u8", "pcm", 352},
        {"s16.wav", tone, "-c:a pcm_s16le", "pcm", 705},
        {"s24.wav", tone, "-c:a pcm_s24le", "extensible", 1058},  // written as extensible above 16 bits
        {"six.wav", tone, "-ac 6 -c:a pcm_s16le", "extensible", 4233},
        {"frag_keyframe.mp4", both, fragments + "frag_keyframe", "mp4a", -1},
        {"empty_moov.mp4", both, fragments + "frag_keyframe+empty_moov", "mp4a", -1},
        {"default_base_moof.mp4", both, fragments + "frag_keyframe+empty_moov+default_base_moof", "mp4a",
         -1},
        {"dash.mp4", both, fragments + "dash", "mp4a", -1},
        {"recorder.m4a", tone, "-c:a aac -movflags empty_moov -frag_duration 1000000", "mp4a", -1},
    };
    TempDir dir;
    for (const auto &c : cases) {
        const std::string path = dir.file(c.name);
        ASSERT_TRUE(make(c.input, c.options, path)) << c.name;
        const double expected = ffprobe_duration(path);
        ASSERT_FALSE(std::isnan(expected)) << c.name;
        const Probed p = probe_path(path);
        EXPECT_EQ(p.error, "") << c.name;
        EXPECT_EQ(p.duration_s, static_cast<long long>(expected)) << c.name << ": " << p.text << " vs " << expected;
        EXPECT_LT(std::fabs(static_cast<double>(p.duration_s) - expected), 1.0) << c.name;
        EXPECT_EQ(p.codec, c.codec) << c.name;
        if (c.kbps >= 0) {
            EXPECT_EQ(p.bitrate_kbps, c.kbps) << c.name;
        }
    }
}

}  // namespace
}  // namespace pf_test
