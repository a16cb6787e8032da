// MPEG audio: steps over an ID3v2 tag, then walks frame headers to the end of the stream.
#include <cstdint>

#include "core/number.h"
#include "probe/readers.h"
#include "probe/source.h"

namespace pf {

namespace {

// Sample rates in hertz by the header's 2-bit index; 3 is reserved.
constexpr int SR_V1[4] = {44100, 48000, 32000, 0};
constexpr int SR_V2[4] = {22050, 24000, 16000, 0};
constexpr int SR_V25[4] = {11025, 12000, 8000, 0};

// Bitrates in kbps by the header's 4-bit index; 0 is free format, 15 forbidden.
constexpr int BR_V1[16] = {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 0};
constexpr int BR_V2[16] = {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, 0};
constexpr int BR_V25[16] = {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, 0};
// Layers I and II of MPEG-1, and Layer I of the lower sampling frequencies,
// have bitrates of their own; Layer II there shares the Layer III values.
constexpr int BR_V1_L1[16] = {0, 32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448, 0};
constexpr int BR_V1_L2[16] = {0, 32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384, 0};
constexpr int BR_V2_L1[16] = {0, 32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256, 0};

constexpr int kVersion1 = 3;
constexpr int kVersion2 = 2;
constexpr int kLayerI = 3;
constexpr int kLayerII = 2;

struct Frame {
    int length;  // bytes, header included
    int samples;
    int sample_rate;
    int bitrate;  // kbps
};

const int *bitrate_table(int version, int layer) {
    if (layer == kLayerI) return version == kVersion1 ? BR_V1_L1 : BR_V2_L1;
    if (layer == kLayerII && version == kVersion1) return BR_V1_L2;
    // Layer III, Layer II of the lower frequencies and the reserved layer.
    if (version == kVersion1) return BR_V1;
    return version == kVersion2 ? BR_V2 : BR_V25;
}

const int *sample_rate_table(int version) {
    if (version == kVersion1) return SR_V1;
    return version == kVersion2 ? SR_V2 : SR_V25;
}

// False for anything that is not a usable frame header: the walk ends there.
bool decode_frame(const unsigned char *h, Frame *out) {
    const int bitrate_index = h[2] >> 4;
    const int rate_index = (h[2] >> 2) & 3;
    if (h[0] != 0xFF || (h[1] & 0xE0) != 0xE0 || bitrate_index == 0 || bitrate_index == 15 || rate_index == 3)
        return false;
    const int version = (h[1] >> 3) & 3;
    const int layer = (h[1] >> 1) & 3;
    const int bitrate = bitrate_table(version, layer)[bitrate_index];
    const int rate = sample_rate_table(version)[rate_index];
    if (bitrate == 0 || rate == 0) return false;
    const int padding = (h[2] >> 1) & 1;
    if (layer == kLayerI) {
        out->length = (12 * bitrate * 1000 / rate + padding) * 4;
        out->samples = 384;
    } else if (layer == kLayerII || version == kVersion1) {
        out->length = 144 * bitrate * 1000 / rate + padding;
        out->samples = 1152;
    } else {
        out->length = 72 * bitrate * 1000 / rate + padding;
        out->samples = 576;
    }
    out->sample_rate = rate;
    out->bitrate = bitrate;
    return out->length > 2;
}

// Where the audio starts: after an ID3v2 tag (and its footer), unless the tag
// claims more bytes than the source has.
std::int64_t audio_start(ByteSource &source) {
    const unsigned char *h = source.bytes_at(0, 10);
    if (h == nullptr || h[0] != 'I' || h[1] != 'D' || h[2] != '3') return 0;
    const int major = h[3];
    if (major < 2 || major > 4) return 0;
    std::int64_t length = 10 + static_cast<std::int64_t>((h[6] & 0x7F) << 21 | (h[7] & 0x7F) << 14 |
                                                         (h[8] & 0x7F) << 7 | (h[9] & 0x7F));
    if (major == 4 && (h[5] & 0x10) != 0) length += 10;
    return length > source.length() ? 0 : length;
}

// A stream uses few distinct headers: one bitrate and sample rate, or a
// handful of bitrates when it varies, each with and without padding. The last
// decoding per bitrate, sample rate and padding is kept, so a header seen
// before costs one comparison instead of table look-ups and divisions.
class FrameDecoder {
public:
    // False for a header that ends the walk; seconds is the frame's play time.
    bool decode(const unsigned char *h, Frame *frame, double *seconds) {
        const std::uint32_t key = static_cast<std::uint32_t>(h[0]) << 16 | h[1] << 8 | h[2];
        // The header of the frame before is tried first: most frames repeat
        // it, and the walk's next position then waits for no look-up that
        // depends on the bytes just read.
        if (key != last_->key) {
            Entry &e = entries_[h[2] >> 1];
            if (e.key != key) {
                if (!decode_frame(h, &e.frame)) return false;
                e.key = key;
                e.seconds = static_cast<double>(e.frame.samples) / e.frame.sample_rate;
            }
            last_ = &e;
        }
        *frame = last_->frame;
        *seconds = last_->seconds;
        return true;
    }

private:
    struct Entry {
        // Wider than any three header bytes: an unused entry must never match,
        // not even bytes of zeros, or the walk would step by a zero length.
        std::uint32_t key = UINT32_MAX;
        Frame frame{};
        double seconds = 0.0;
    };
    Entry entries_[128];  // by the bitrate, sample rate and padding bits
    const Entry *last_ = &entries_[0];
};

struct Mp3Walk {
    double seconds = 0.0;
    int last_bitrate = 0;
    bool counted = false;
};

// Counts frames from the start of the audio until a header is missing or
// invalid. A frame cut short by the end of the source still counts: the walk
// ends at the next header, which is not there.
Mp3Walk walk_frames(ByteSource &source) {
    Mp3Walk walk;
    FrameDecoder decoder;
    source.reading_in_order();
    for (std::int64_t pos = audio_start(source);;) {
        const unsigned char *h = source.bytes_at(pos, 4);
        Frame frame;
        double seconds;
        if (h == nullptr || !decoder.decode(h, &frame, &seconds)) break;
        walk.seconds += seconds;
        walk.counted = true;
        walk.last_bitrate = frame.bitrate;
        pos += frame.length;
    }
    return walk;
}

}  // namespace

ProbeFailure probe_mp3(ByteSource &source, pf_probe_info *out) {
    const Mp3Walk walk = walk_frames(source);
    if (!walk.counted) return ProbeFailure::no_mp3_frames;
    out->duration_s = sat_i64(walk.seconds);
    out->codec = "mp3";
    out->bitrate_kbps = walk.last_bitrate;
    out->derive_bitrate = walk.last_bitrate <= 0;
    return ProbeFailure::none;
}

}  // namespace pf
