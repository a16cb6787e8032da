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
// h holds the first n bytes of the file.
std::int64_t audio_start(const unsigned char *h, std::int64_t n, std::int64_t file_size) {
    if (n < 10 || h[0] != 'I' || h[1] != 'D' || h[2] != '3') return 0;
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

    // The window is read in order: nothing to hint.
    void prefetch(std::int64_t) const {}

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

// Headers straight from the whole file in memory, read at once: no
// copy and no call per frame, so a walk costs little more than touching each
// page once.
class InPlaceHeaders {
public:
    InPlaceHeaders(const unsigned char *data, std::int64_t size) : data_(data), size_(size) {}

    // The 4 bytes at pos, or nullptr when fewer than 4 are there.
    const unsigned char *header_at(std::int64_t pos) const {
        return pos >= 0 && pos <= size_ - 4 ? data_ + pos : nullptr;
    }

    // Each header's position comes from the one before, so without a hint
    // every frame would wait for its memory in turn. Every cache line up to
    // pos is asked for once: with a variable bitrate, where the next headers
    // lie is not known in advance.
    void prefetch(std::int64_t pos) {
        const std::int64_t until = std::min(pos, size_);
        for (; ahead_ < until; ahead_ += 64) __builtin_prefetch(data_ + ahead_);
    }

private:
    const unsigned char *data_;
    std::int64_t size_;
    std::int64_t ahead_ = 0;
};

// A stream uses few distinct headers: one bitrate and sample rate, or a
// handful of bitrates when it varies, each with and without padding. The last
// decoding per bitrate, sample rate and padding is kept, so a header seen
// before costs one comparison instead of table look-ups and divisions.
class FrameDecoder {
public:
    // False for a header that ends the walk; seconds is the frame's play time.
    bool decode(const unsigned char *h, Frame *frame, double *seconds) {
        const std::uint32_t key = static_cast<std::uint32_t>(h[0]) << 16 | h[1] << 8 | h[2];
        Entry &e = entries_[h[2] >> 1];
        if (e.key != key) {
            if (!decode_frame(h, &e.frame)) return false;
            e.key = key;
            e.seconds = static_cast<double>(e.frame.samples) / e.frame.sample_rate;
        }
        *frame = e.frame;
        *seconds = e.seconds;
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
};

// How far ahead of the walk memory is asked for, in bytes.
constexpr std::int64_t kPrefetchDistance = 2048;

struct Mp3Walk {
    double seconds = 0.0;
    int last_bitrate = 0;
    bool counted = false;
};

// Counts frames from pos until a header is missing or invalid, or a frame
// runs past the end of the file (that last frame still counts).
template <typename Headers>
Mp3Walk walk_frames(Headers &headers, std::int64_t pos, std::int64_t length) {
    Mp3Walk walk;
    FrameDecoder decoder;
    for (;;) {
        const unsigned char *h = headers.header_at(pos);
        Frame frame;
        double seconds;
        if (h == nullptr || !decoder.decode(h, &frame, &seconds)) break;
        walk.seconds += seconds;
        walk.counted = true;
        walk.last_bitrate = frame.bitrate;
        headers.prefetch(pos + kPrefetchDistance);
        pos += frame.length;
        if (pos > length) break;
    }
    return walk;
}

// The whole file in memory: its first bytes and its length come from there
// too, so the walk costs no read and no seek.
Mp3Walk walk_bytes(const unsigned char *data, std::int64_t size, std::int64_t file_size) {
    InPlaceHeaders headers(data, size);
    return walk_frames(headers, audio_start(data, size, file_size), size);
}

// A file that fits in the window is read whole with one call and walked in
// memory; a longer one is walked window by window from the start.
Mp3Walk walk_stream(std::FILE *f, std::int64_t file_size) {
    unsigned char *window = s_window + kCarry;
    const std::size_t got = std::fread(window, 1, kWindow, f);
    if (got < kWindow) return walk_bytes(window, static_cast<std::int64_t>(got), file_size);
    unsigned char h[10];
    std::int64_t start = seek64(f, 0, SEEK_SET) == 0 && read_exact(f, h, 10) ? audio_start(h, 10, file_size) : 0;
    if (seek64(f, start, SEEK_SET) != 0) start = 0;
    const std::int64_t length = stream_length(f);
    HeaderReader headers(f, start);
    return walk_frames(headers, start, length);
}

}  // namespace

ProbeFailure probe_mp3(const char *path, std::int64_t file_size, pf_probe_info *out) {
    // Read through a stream, never a mapping: a file that another process
    // truncates under a mapping would kill the host with SIGBUS.
    File file = open_for_read(path);
    if (!file) return ProbeFailure::open_failed;
    const Mp3Walk walk = walk_stream(file.get(), file_size);
    if (!walk.counted) return ProbeFailure::no_mp3_frames;
    out->duration_s = sat_i64(walk.seconds);
    out->codec = "mp3";
    out->bitrate_kbps = walk.last_bitrate;
    out->derive_bitrate = walk.last_bitrate <= 0;
    return ProbeFailure::none;
}

}  // namespace pf
