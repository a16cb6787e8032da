// The container readers behind media_probe and what they hand back to it.
#pragma once

#include <cstdint>

#include "probe/media_types.h"
#include "probe/source.h"

namespace pf {

// Unsigned integers from file bytes, in the byte order the format stores.
inline std::uint64_t big_endian(const unsigned char *p, int n) {
    std::uint64_t v = 0;
    for (int i = 0; i < n; ++i) v = (v << 8) | p[i];
    return v;
}
inline std::uint64_t little_endian(const unsigned char *p, int n) {
    std::uint64_t v = 0;
    for (int i = n - 1; i >= 0; --i) v = (v << 8) | p[i];
    return v;
}

// A reader's facts on success; the MIME type comes from the extension's
// media type. codec points to a constant text.
struct pf_probe_info {
    std::int64_t duration_s = 0;  // whole seconds, truncated toward zero
    const char *codec = "";
    std::int32_t bitrate_kbps = 0;
    bool derive_bitrate = false;  // the probe computes the bitrate from the file size
};

// Why a reader failed; each kind has one result text and one last-error text.
enum class ProbeFailure { none, open_failed, no_movie_header, no_mp3_frames, not_wav, wav_no_fmt };

// The readers, each over the whole of one file's bytes.
ProbeFailure probe_iso(ByteSource &source, pf_probe_info *out);
ProbeFailure probe_mp3(ByteSource &source, pf_probe_info *out);
ProbeFailure probe_wav(ByteSource &source, pf_probe_info *out);

// What media_probe does once the file is open: runs the reader of type over
// the source and writes the result text, whose size is the source's length,
// into the probe's buffer, which it returns. path names the file in the
// last-error text only.
const char *probe_source(const char *path, const MediaType &type, ByteSource &source);

// One ISO box header as found in the file.
struct pf_box {
    std::uint32_t size = 0;   // the 32-bit size field (1 for a 64-bit size)
    std::uint32_t type = 0;   // the four characters as a big-endian value
    std::int64_t next = 0;    // the position just after the box
    int header_len = 8;       // 8, or 16 with a 64-bit size
};

enum class BoxRead { ok, none, unusable };

// Reads the header of the box at pos inside a container ending at end.
// none: fewer than 8 bytes left or readable; unusable: the 64-bit size is
// cut short or below 16, or the box would end after end.
BoxRead pf_box_header(ByteSource &source, std::int64_t pos, std::int64_t end, pf_box *out);

// Bitrate from the file size and play time: (size x 8 / duration) / 1000,
// truncated, saturated to 32 bits; exact for every size and duration.
std::int32_t bitrate_from_size(std::int64_t size, std::int64_t duration_s);

}  // namespace pf
