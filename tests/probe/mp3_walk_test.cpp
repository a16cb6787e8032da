// MPEG audio: a long walk whose headers repeat, change and come back, and
// bytes after the last frame that look almost like its header.
#include <gtest/gtest.h>

#include <string>

#include "probe_support.h"
#include "support/media_builders.h"

namespace pf_test {
namespace {

MpegFrame layer3_frame(int bitrate_index, bool padding) {
    MpegFrame f;
    f.bitrate_index = bitrate_index;
    f.padding = padding;
    return f;
}

// Headers that come back after others must be measured as they were the
// first time: a stale length would land the walk off the next header and stop
// it early, a stale play time would change the sum.
TEST(Mp3Walk, HeadersThatAlternateAndReturnAreMeasuredEachTime) {
    TempDir dir;
    const MpegFrame k128 = layer3_frame(9, false), k128_padded = layer3_frame(9, true);
    const MpegFrame k64 = layer3_frame(5, false), k64_padded = layer3_frame(5, true);
    const struct {
        const char *what;
        std::string bytes;
        long long duration_s, kbps;
    } cases[] = {
        // 5000 x (417 + 418) bytes, 10000 frames of 1152/44100 s.
        {"padding on every other frame", [&] {
             std::string b;
             for (int i = 0; i < 5000; ++i) b += mpeg_frame(k128) + mpeg_frame(k128_padded);
             return b;
         }(), 261, 128},
        {"bitrate and padding changing and coming back", [&] {
             std::string b;
             for (int i = 0; i < 2500; ++i)
                 b += mpeg_frame(k128) + mpeg_frame(k64_padded) + mpeg_frame(k128_padded) + mpeg_frame(k64);
             return b;
         }(), 261, 64},
        {"a long run, then one frame of another bitrate",
         mpeg_frames(k128, 9999) + mpeg_frame(k64), 261, 64},
    };
    for (const auto &c : cases) {
        const Probed p = probe_bytes(dir, "a.mp3", c.bytes);
        EXPECT_EQ(p.duration_s, c.duration_s) << c.what << ": " << p.text;
        EXPECT_EQ(p.bitrate_kbps, c.kbps) << c.what;
    }
}

// The walk ends at the first header that is not one, even when it repeats
// all but one byte of the header before it.
TEST(Mp3Walk, ANearCopyOfTheLastHeaderEndsTheWalk) {
    TempDir dir;
    const MpegFrame f = layer3_frame(9, false);
    const std::string one_second = mpeg_frames(f, 39);  // 39 x 1152 / 44100 = 1.02 s
    const std::string header = mpeg_header(f);
    const struct {
        const char *what;
        std::string tail;
    } cases[] = {
        {"first byte not 0xFF", std::string(1, '\xFE') + header.substr(1) + std::string(413, '\0') +
                                    mpeg_frames(f, 100)},
        {"bitrate index 15", header.substr(0, 2) + std::string(1, static_cast<char>(header[2] | 0xF0)) +
                                 header.substr(3) + std::string(413, '\0') + mpeg_frames(f, 100)},
    };
    for (const auto &c : cases) {
        const Probed p = probe_bytes(dir, "a.mp3", one_second + c.tail);
        EXPECT_EQ(p.duration_s, 1) << c.what << ": " << p.text;
    }
}

// A file longer than the reader's window is walked in place, a shorter one
// through the stream: the tag in front and the frames count alike in both.
TEST(Mp3Walk, LongAndShortFilesAreMeasuredAlike) {
    TempDir dir;
    const MpegFrame f = layer3_frame(9, false);
    const struct {
        const char *what;
        std::string tag;
    } cases[] = {
        {"no tag", ""},
        {"ID3v2.3 tag", id3v2_tag(3, 257)},
        {"ID3v2.4 tag with a footer", id3v2_tag(4, 20, true)},
    };
    for (const auto &c : cases) {
        // 100 frames: 2.6 s in 41,700 bytes; 10,000 frames: 261.2 s in 4.17 MB.
        const Probed shorter = probe_bytes(dir, "a.mp3", c.tag + mpeg_frames(f, 100));
        EXPECT_EQ(shorter.duration_s, 2) << c.what << ": " << shorter.text;
        const Probed longer = probe_bytes(dir, "a.mp3", c.tag + mpeg_frames(f, 10000));
        EXPECT_EQ(longer.duration_s, 261) << c.what << ": " << longer.text;
        EXPECT_EQ(longer.bitrate_kbps, 128) << c.what;
    }
    // A tag claiming more than the file holds is not stepped over, long or short.
    const std::string too_long = id3v2_header(3, 0, std::string("\x7F\x7F\x7F\x7F", 4));
    EXPECT_EQ(probe_bytes(dir, "a.mp3", too_long + mpeg_frames(f, 100)).error, "no valid MP3 frames");
    EXPECT_EQ(probe_bytes(dir, "a.mp3", too_long + mpeg_frames(f, 10000)).error, "no valid MP3 frames");
}

}  // namespace
}  // namespace pf_test
