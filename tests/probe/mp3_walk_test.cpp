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
        const Probed p = probe_memory("a.mp3", c.bytes);
        EXPECT_EQ(p.duration_s, c.duration_s) << c.what << ": " << p.text;
        EXPECT_EQ(p.bitrate_kbps, c.kbps) << c.what;
    }
}

// The walk ends at the first header that is not one, even when it repeats
// all but one byte of the header before it.
TEST(Mp3Walk, ANearCopyOfTheLastHeaderEndsTheWalk) {
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
        const Probed p = probe_memory("a.mp3", one_second + c.tail);
        EXPECT_EQ(p.duration_s, 1) << c.what << ": " << p.text;
    }
}

}  // namespace
}  // namespace pf_test
