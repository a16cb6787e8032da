// RIFF/WAVE: walks the chunks up to "data", takes the format from "fmt " and
// the play time from the data size.
#include <algorithm>
#include <cstdint>
#include <cstring>

#include "core/number.h"
#include "probe/readers.h"
#include "probe/source.h"

namespace pf {

namespace {

// What a writer that streams leaves in the data size.
constexpr std::uint32_t kUnknownDataSize = 0xFFFFFFFF;

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

// Identifiers are four printable characters. Anything else is no chunk: the
// holes of a sparse file, zeros after a cut-off copy, a foreign tail. Taking
// such bytes for headers would step through them 8 bytes at a time.
bool is_chunk_id(const unsigned char *p) {
    return std::all_of(p, p + 4, [](unsigned char c) { return c >= 0x20 && c <= 0x7E; });
}

bool read_riff_header(ByteSource &source) {
    const unsigned char *h = source.bytes_at(0, 12);
    return h != nullptr && id_is(h, "RIFF") && id_is(h + 8, "WAVE");
}

// Only the first 16 bytes of the body matter; a shorter chunk is ignored.
void read_format(ByteSource &source, std::int64_t body, std::uint32_t size, WavFormat *format) {
    const unsigned char *b = size >= 16 ? source.bytes_at(body, 16) : nullptr;
    if (b == nullptr) return;
    format->found = true;
    format->tag = static_cast<std::uint16_t>(little_endian(b, 2));
    format->channels = static_cast<std::uint16_t>(little_endian(b + 2, 2));
    format->rate = static_cast<std::uint32_t>(little_endian(b + 4, 4));
    format->bits = static_cast<std::uint16_t>(little_endian(b + 14, 2));
}

// Every step moves forward by at least the 8 header bytes, so the walk ends at
// the data chunk, at something that is not a chunk, or at the end of the
// file, whatever the sizes claim.
WavScan walk_chunks(ByteSource &source) {
    WavScan scan;
    std::int64_t pos = 12;
    for (const unsigned char *h; (h = source.bytes_at(pos, 8)) != nullptr && is_chunk_id(h);) {
        const auto size = static_cast<std::uint32_t>(little_endian(h + 4, 4));
        pos += 8;
        if (id_is(h, "data")) {
            scan.data_size = size;
            scan.data_start = pos;
            break;
        }
        if (id_is(h, "fmt ")) {
            read_format(source, pos, size, &scan.format);
            pos += size;
            continue;
        }
        pos += static_cast<std::int64_t>(size) + (size & 1);
    }
    return scan;
}

// A writer that streams (to a pipe, say) cannot go back to fill in the data
// size and leaves a placeholder such as 0xFFFFFFFF or 0x7FFFF000, and a file
// cut short holds less than its header promises: only the bytes the file
// really holds can play. 0xFFFFFFFF says no more than that the size is not
// known: it stands for every byte present, however far past 4 GiB the stream
// ran.
std::int64_t playable_bytes(const WavScan &scan, std::int64_t length) {
    if (scan.data_start < 0) return scan.data_size;
    const std::int64_t present = std::max<std::int64_t>(length - scan.data_start, 0);
    if (scan.data_size == kUnknownDataSize) return present;
    return std::min<std::int64_t>(scan.data_size, present);
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

ProbeFailure probe_wav(ByteSource &source, pf_probe_info *out) {
    if (!read_riff_header(source)) return ProbeFailure::not_wav;
    const WavScan scan = walk_chunks(source);
    const WavFormat &fmt = scan.format;
    if (!fmt.found || fmt.rate == 0 || fmt.channels == 0) return ProbeFailure::wav_no_fmt;
    // Unsigned 64 bits hold every product of a 16-bit, a 32-bit and a 16-bit factor.
    const std::uint64_t bytes_per_second = std::uint64_t{fmt.bits / 8u} * fmt.rate * fmt.channels;
    const std::int64_t data_size = playable_bytes(scan, source.length());
    out->duration_s = 0;
    out->bitrate_kbps = 0;
    if (bytes_per_second != 0 && data_size != 0) {
        out->duration_s = static_cast<std::int64_t>(static_cast<std::uint64_t>(data_size) / bytes_per_second);
        const std::uint64_t kbps = std::uint64_t{fmt.bits} * fmt.rate * fmt.channels / 1000;
        out->bitrate_kbps = sat_i32(static_cast<std::int64_t>(std::min<std::uint64_t>(kbps, INT64_MAX)));
        out->derive_bitrate = out->bitrate_kbps <= 0;
    }
    out->codec = codec_of(fmt.tag);
    return ProbeFailure::none;
}

}  // namespace pf
