// RIFF/WAVE: walks the chunks up to "data", takes the format from "fmt " and
// the play time from the data size.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "core/number.h"
#include "core/platform.h"
#include "probe/readers.h"

namespace pf {

namespace {

struct WavFormat {
    bool found = false;
    std::uint16_t tag = 0;
    std::uint16_t channels = 0;
    std::uint32_t rate = 0;
    std::uint16_t bits = 0;
};

struct WavScan {
    WavFormat format;
    std::uint32_t data_size = 0;   // as the chunk header states it
    std::int64_t data_start = -1;  // file position of the first data byte; -1 when unknown
};

bool id_is(const unsigned char *p, const char *id) { return std::memcmp(p, id, 4) == 0; }

bool read_riff_header(std::FILE *f) {
    unsigned char h[12];
    return read_exact(f, h, 12) && id_is(h, "RIFF") && id_is(h + 8, "WAVE");
}

// Only the first 16 bytes of the body matter; a shorter chunk is ignored.
bool read_format(std::FILE *f, std::uint32_t size, WavFormat *format) {
    unsigned char b[16];
    const std::uint32_t wanted = std::min<std::uint32_t>(size, 16);
    const bool complete = read_exact(f, b, wanted) && wanted == 16;
    if (complete) {
        format->found = true;
        format->tag = static_cast<std::uint16_t>(little_endian(b, 2));
        format->channels = static_cast<std::uint16_t>(little_endian(b + 2, 2));
        format->rate = static_cast<std::uint32_t>(little_endian(b + 4, 4));
        format->bits = static_cast<std::uint16_t>(little_endian(b + 14, 2));
    }
    return seek64(f, static_cast<std::int64_t>(size - wanted), SEEK_CUR) == 0;
}

// Every step moves forward by at least the 8 header bytes, so the walk ends at
// the data chunk or at the end of the file, whatever the sizes claim.
WavScan walk_chunks(std::FILE *f) {
    WavScan scan;
    unsigned char h[8];
    while (read_exact(f, h, 8)) {
        const auto size = static_cast<std::uint32_t>(little_endian(h + 4, 4));
        if (id_is(h, "data")) {
            scan.data_size = size;
            scan.data_start = tell64(f);
            break;
        }
        if (id_is(h, "fmt ")) {
            if (!read_format(f, size, &scan.format)) break;
            continue;
        }
        const std::int64_t padded = static_cast<std::int64_t>(size) + (size & 1);
        if (seek64(f, padded, SEEK_CUR) != 0) break;
    }
    return scan;
}

// A writer that streams (to a pipe, say) cannot go back to fill in the data
// size and leaves a placeholder such as 0xFFFFFFFF or 0x7FFFF000, and a file
// cut short holds less than its header promises: only the bytes the file
// really holds can play.
std::uint32_t playable_bytes(const WavScan &scan, std::int64_t file_size) {
    if (scan.data_start < 0) return scan.data_size;
    const std::int64_t present = std::max<std::int64_t>(file_size - scan.data_start, 0);
    return static_cast<std::uint32_t>(std::min<std::int64_t>(scan.data_size, present));
}

const char *codec_of(std::uint16_t tag) {
    switch (tag) {
        case 0x0001: return "pcm";
        case 0xFFFE: return "extensible";
        case 0x0055: return "wma";
        default: return "unknown";
    }
}

}  // namespace

ProbeFailure probe_wav(const char *path, std::int64_t file_size, pf_probe_info *out) {
    File file = open_for_random_read(path);
    if (!file) return ProbeFailure::open_failed;
    if (!read_riff_header(file.get())) return ProbeFailure::not_wav;
    const WavScan scan = walk_chunks(file.get());
    file.reset();
    const WavFormat &fmt = scan.format;
    if (!fmt.found || fmt.rate == 0 || fmt.channels == 0) return ProbeFailure::wav_no_fmt;
    // Unsigned 64 bits hold every product of a 16-bit, a 32-bit and a 16-bit factor.
    const std::uint64_t bytes_per_second = std::uint64_t{fmt.bits / 8u} * fmt.rate * fmt.channels;
    const std::uint32_t data_size = playable_bytes(scan, file_size);
    out->duration_s = 0;
    out->bitrate_kbps = 0;
    if (bytes_per_second != 0 && data_size != 0) {
        out->duration_s = static_cast<std::int64_t>(data_size / bytes_per_second);
        const std::uint64_t kbps = std::uint64_t{fmt.bits} * fmt.rate * fmt.channels / 1000;
        out->bitrate_kbps = sat_i32(static_cast<std::int64_t>(std::min<std::uint64_t>(kbps, INT64_MAX)));
        out->derive_bitrate = out->bitrate_kbps <= 0;
    }
    out->codec = codec_of(fmt.tag);
    out->mime = "audio/wav";
    return ProbeFailure::none;
}

}  // namespace pf
