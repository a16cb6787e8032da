// MPEG audio: steps over an ID3v2 tag, then walks frame headers to the end of the stream.
#include <algorithm>
#include <cstdint>
#include <cstdio>

#include "core/number.h"
#include "core/platform.h"
#include "probe/readers.h"

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
// claims more bytes than the file has.
std::int64_t audio_start(std::FILE *f, std::int64_t file_size) {
    unsigned char h[10];
    if (!read_exact(f, h, 10) || h[0] != 'I' || h[1] != 'D' || h[2] != '3') return 0;
    const int major = h[3];
    if (major < 2 || major > 4) return 0;
    std::int64_t length = 10 + static_cast<std::int64_t>((h[6] & 0x7F) << 21 | (h[7] & 0x7F) << 14 |
                                                         (h[8] & 0x7F) << 7 | (h[9] & 0x7F));
    if (major == 4 && (h[5] & 0x10) != 0) length += 10;
    return length > file_size ? 0 : length;
}

// Frame headers are read through one large window, so a walk over a long
// file costs a read per window rather than a system call per frame. The file
// is read strictly in order, into a page-aligned area, which keeps the copy
// out of the page cache as fast as a plain read loop. The library is not
// reentrant, so one window serves every call.
constexpr std::size_t kWindow = 128 * 1024;
// Room before the window for the bytes of a header cut by the window's end; a
// whole page keeps the window itself page-aligned.
constexpr std::size_t kCarry = 4096;
alignas(4096) unsigned char s_window[kCarry + kWindow];

class HeaderReader {
public:
    HeaderReader(std::FILE *f, std::int64_t pos) : f_(f), base_(pos), placed_(seek64(f, pos, SEEK_SET) == 0) {}

    // The 4 bytes at pos, or nullptr when fewer than 4 can be read there.
    // Positions only move forward.
    const unsigned char *header_at(std::int64_t pos) {
        if (!placed_) return nullptr;
        while (pos > base_ + len_ - 4)
            if (!read_next()) return nullptr;
        return data_ + (pos - base_);
    }

private:
    // Reads the next window; the last 3 bytes of this one, which may start a
    // header, are carried in front of it.
    bool read_next() {
        const std::size_t carry = static_cast<std::size_t>(std::min<std::int64_t>(len_, 3));
        unsigned char *window = s_window + kCarry;
        std::copy(data_ + len_ - static_cast<std::int64_t>(carry), data_ + len_, window - carry);
        // Reads that start on a page boundary of the file copy fastest.
        const auto stream_pos = static_cast<std::size_t>(base_ + len_) % 4096;
        const std::size_t got = std::fread(window, 1, kWindow - stream_pos, f_);
        if (got == 0) return false;
        base_ += len_ - static_cast<std::int64_t>(carry);
        data_ = window - carry;
        len_ = static_cast<std::int64_t>(carry + got);
        return true;
    }

    std::FILE *f_;
    std::int64_t base_;                    // file offset of data_[0]
    std::int64_t len_ = 0;                 // valid bytes from data_ on
    bool placed_;                          // the stream stands at base_ + len_
    unsigned char *data_ = s_window + kCarry;
};

struct Mp3Walk {
    double seconds = 0.0;
    int last_bitrate = 0;
    bool counted = false;
};

// Counts frames from pos until a header is missing or invalid, or a frame
// runs past the end of the file (that last frame still counts).
Mp3Walk walk_frames(std::FILE *f, std::int64_t pos, std::int64_t length) {
    Mp3Walk walk;
    HeaderReader reader(f, pos);
    for (;;) {
        const unsigned char *h = reader.header_at(pos);
        Frame frame;
        if (h == nullptr || !decode_frame(h, &frame)) break;
        walk.seconds += static_cast<double>(frame.samples) / frame.sample_rate;
        walk.counted = true;
        walk.last_bitrate = frame.bitrate;
        pos += frame.length;
        if (pos > length) break;
    }
    return walk;
}

std::int64_t file_length(std::FILE *f) { return seek64(f, 0, SEEK_END) == 0 ? tell64(f) : -1; }

}  // namespace

ProbeFailure probe_mp3(const char *path, std::int64_t file_size, pf_probe_info *out) {
    File file = open_for_read(path);
    if (!file) return ProbeFailure::open_failed;
    std::int64_t start = audio_start(file.get(), file_size);
    if (seek64(file.get(), start, SEEK_SET) != 0) start = 0;
    const std::int64_t length = file_length(file.get());
    const Mp3Walk walk = walk_frames(file.get(), start, length);
    if (!walk.counted) return ProbeFailure::no_mp3_frames;
    out->duration_s = sat_i64(walk.seconds);
    out->mime = "audio/mpeg";
    out->codec = "mp3";
    out->bitrate_kbps = walk.last_bitrate;
    out->derive_bitrate = walk.last_bitrate <= 0;
    return ProbeFailure::none;
}

}  // namespace pf
