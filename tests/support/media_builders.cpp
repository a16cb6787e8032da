// Byte-level builders of MPEG audio, ID3, ISO base media and RIFF/WAVE files.
#include "support/media_builders.h"

#include <array>

namespace pf_test {

namespace {

template <typename T>
std::string bytes_of(T v, int count, bool big_endian) {
    std::string out(static_cast<std::size_t>(count), '\0');
    for (int i = 0; i < count; ++i) {
        const int shift = 8 * (big_endian ? count - 1 - i : i);
        out[static_cast<std::size_t>(i)] = static_cast<char>((v >> shift) & 0xFF);
    }
    return out;
}

std::string zeros(std::size_t n) { return std::string(n, '\0'); }

// The reference tables of the MPEG audio standards, kept apart from the
// library's own so that a wrong entry there cannot hide in both.
constexpr std::array<int, 16> kBitrateV1L1 = {0,   32,  64,  96,  128, 160, 192, 224,
                                              256, 288, 320, 352, 384, 416, 448, 0};
constexpr std::array<int, 16> kBitrateV1L2 = {0,   32,  48,  56,  64,  80,  96,  112,
                                              128, 160, 192, 224, 256, 320, 384, 0};
constexpr std::array<int, 16> kBitrateV1L3 = {0,   32,  40,  48,  56,  64,  80,  96,
                                              112, 128, 160, 192, 224, 256, 320, 0};
constexpr std::array<int, 16> kBitrateV2L1 = {0,   32,  48,  56,  64,  80,  96,  112,
                                              128, 144, 160, 176, 192, 224, 256, 0};
constexpr std::array<int, 16> kBitrateV2L23 = {0,  8,  16, 24,  32,  40,  48,  56,
                                               64, 80, 96, 112, 128, 144, 160, 0};

int bitrate_kbps(const MpegFrame &f) {
    if (f.bitrate_index < 0 || f.bitrate_index > 15) return 0;
    const auto i = static_cast<std::size_t>(f.bitrate_index);
    if (f.version == mpeg1) {
        if (f.layer == layer1) return kBitrateV1L1[i];
        if (f.layer == layer2) return kBitrateV1L2[i];
        if (f.layer == layer3) return kBitrateV1L3[i];
        return 0;
    }
    if (f.version == mpeg2 || f.version == mpeg25) {
        if (f.layer == layer1) return kBitrateV2L1[i];
        if (f.layer == layer2 || f.layer == layer3) return kBitrateV2L23[i];
    }
    return 0;
}

int sample_rate_hz(const MpegFrame &f) {
    static constexpr std::array<int, 3> v1 = {44100, 48000, 32000};
    if (f.sample_rate_index < 0 || f.sample_rate_index > 2) return 0;
    const auto i = static_cast<std::size_t>(f.sample_rate_index);
    if (f.version == mpeg1) return v1[i];
    if (f.version == mpeg2) return v1[i] / 2;
    if (f.version == mpeg25) return v1[i] / 4;
    return 0;
}

// Where the Xing/Info header sits: after the 4 header bytes and the side data,
// whose length depends on the version and on mono or not.
std::size_t info_offset(const MpegFrame &f) {
    const bool mono = f.channel_mode == 3;
    if (f.version == mpeg1) return 4 + (mono ? 17 : 32);
    return 4 + (mono ? 9 : 17);
}

}  // namespace

std::string be16(std::uint16_t v) { return bytes_of(v, 2, true); }
std::string be32(std::uint32_t v) { return bytes_of(v, 4, true); }
std::string be64(std::uint64_t v) { return bytes_of(v, 8, true); }
std::string le16(std::uint16_t v) { return bytes_of(v, 2, false); }
std::string le32(std::uint32_t v) { return bytes_of(v, 4, false); }

// ---- MPEG audio -------------------------------------------------------------

std::string mpeg_header(const MpegFrame &f) {
    std::string h(4, '\0');
    h[0] = static_cast<char>(0xFF);
    // 0xE0 sync bits, version, layer, 0x01 = no CRC.
    h[1] = static_cast<char>(0xE0 | ((f.version & 3) << 3) | ((f.layer & 3) << 1) | 0x01);
    h[2] = static_cast<char>(((f.bitrate_index & 15) << 4) | ((f.sample_rate_index & 3) << 2) |
                             (f.padding ? 0x02 : 0));
    h[3] = static_cast<char>((f.channel_mode & 3) << 6);
    return h;
}

int mpeg_samples_per_frame(const MpegFrame &f) {
    if (f.layer == layer1) return 384;
    if (f.layer == layer3 && f.version != mpeg1) return 576;
    return 1152;
}

std::size_t mpeg_frame_length(const MpegFrame &f) {
    const long long br = bitrate_kbps(f);
    const long long sr = sample_rate_hz(f);
    if (br == 0 || sr == 0) return 0;
    const long long pad = f.padding ? 1 : 0;
    if (f.layer == layer1) return static_cast<std::size_t>((12 * br * 1000 / sr + pad) * 4);
    const long long coefficient = mpeg_samples_per_frame(f) / 8;  // 144 or 72
    return static_cast<std::size_t>(coefficient * br * 1000 / sr + pad);
}

std::string mpeg_frame(const MpegFrame &f, std::size_t length) {
    std::string out = mpeg_header(f);
    if (length < out.size()) return out.substr(0, length);
    out.resize(length, '\0');
    return out;
}

std::string mpeg_frame(const MpegFrame &f) { return mpeg_frame(f, mpeg_frame_length(f)); }

std::string mpeg_frames(const MpegFrame &f, std::size_t count) {
    const std::string one = mpeg_frame(f);
    std::string out;
    out.reserve(one.size() * count);
    for (std::size_t i = 0; i < count; ++i) out += one;
    return out;
}

std::string mpeg_info_frame(const MpegFrame &f, std::uint32_t frames, std::uint32_t bytes, bool vbr) {
    std::string out = mpeg_frame(f);
    const std::string info = std::string(vbr ? "Xing" : "Info") + be32(0x3) + be32(frames) + be32(bytes);
    const std::size_t at = info_offset(f);
    if (out.size() < at + info.size()) out.resize(at + info.size(), '\0');
    out.replace(at, info.size(), info);
    return out;
}

// ---- ID3 tags ---------------------------------------------------------------

std::string syncsafe32(std::uint32_t v) {
    std::string out(4, '\0');
    for (int i = 0; i < 4; ++i) out[static_cast<std::size_t>(i)] = static_cast<char>((v >> (7 * (3 - i))) & 0x7F);
    return out;
}

std::string id3v2_header(int major, std::uint8_t flags, std::string_view size_bytes) {
    std::string out = "ID3";
    out += static_cast<char>(major);
    out += '\0';  // revision
    out += static_cast<char>(flags);
    out += size_bytes;
    return out;
}

std::string id3v2_tag(int major, std::uint32_t body_size, bool footer) {
    const std::uint8_t flags = footer ? 0x10 : 0x00;
    std::string out = id3v2_header(major, flags, syncsafe32(body_size)) + zeros(body_size);
    if (footer) {
        out += "3DI";
        out += static_cast<char>(major);
        out += '\0';
        out += static_cast<char>(flags);
        out += syncsafe32(body_size);
    }
    return out;
}

std::string id3v1_tag(std::string_view title) {
    std::string out = "TAG";
    out += title.substr(0, 30);
    out.resize(128, '\0');
    return out;
}

// ---- ISO base media boxes ---------------------------------------------------

std::string box_sized(std::string_view type, std::uint32_t size, std::string_view payload) {
    return be32(size) + std::string(type.substr(0, 4)) + std::string(payload);
}

std::string box64_sized(std::string_view type, std::uint64_t size, std::string_view payload) {
    return be32(1) + std::string(type.substr(0, 4)) + be64(size) + std::string(payload);
}

std::string box(std::string_view type, std::string_view payload) {
    return box_sized(type, static_cast<std::uint32_t>(8 + payload.size()), payload);
}

std::string box64(std::string_view type, std::string_view payload) {
    return box64_sized(type, 16 + payload.size(), payload);
}

std::string ftyp(std::string_view major_brand) {
    const std::string brand(major_brand.substr(0, 4));
    return box("ftyp", brand + be32(0x200) + brand + "mp41");
}

std::string mvhd(int version, std::uint32_t timescale, std::uint64_t duration) {
    std::string p = be32(static_cast<std::uint32_t>(version) << 24);
    if (version == 1) {
        p += be64(0) + be64(0) + be32(timescale) + be64(duration);
    } else {
        p += be32(0) + be32(0) + be32(timescale) + be32(static_cast<std::uint32_t>(duration));
    }
    p += be32(0x00010000) + be16(0x0100) + zeros(10);  // rate 1.0, volume 1.0, reserved
    p += be32(0x00010000) + zeros(12) + be32(0x00010000) + zeros(12) + be32(0x40000000);  // unity matrix
    p += zeros(24) + be32(2);  // pre-defined, next track id
    return box("mvhd", p);
}

std::string mdhd(std::uint32_t timescale, std::uint32_t duration) {
    return box("mdhd", be32(0) + be32(0) + be32(0) + be32(timescale) + be32(duration) + be16(0x55C4) + be16(0));
}

std::string hdlr(std::string_view handler_type) {
    return box("hdlr", be32(0) + be32(0) + std::string(handler_type.substr(0, 4)) + zeros(12) + std::string(1, '\0'));
}

std::string stsd(std::string_view fourcc) {
    // A sample entry: 6 reserved bytes, data reference index 1, then 20 bytes
    // standing in for the format-specific fields.
    const std::string entry = box(fourcc, zeros(6) + be16(1) + zeros(20));
    return box("stsd", be32(0) + be32(1) + entry);
}

std::string stsd_empty() { return box("stsd", be32(0) + be32(0)); }

std::string tkhd(std::uint32_t track_id) {
    // Version 0 and flags "enabled", times, the id, then reserved bytes,
    // duration, layer, volume, the matrix and the size, all left zero.
    return box("tkhd", be32(1) + be32(0) + be32(0) + be32(track_id) + zeros(68));
}

std::string track(std::string_view fourcc, std::string_view handler_type, std::uint32_t track_id,
                  std::uint32_t timescale) {
    const std::string stbl = box("stbl", stsd(fourcc) + box("stts", be32(0) + be32(0)));
    const std::string minf = box("minf", box("smhd", be32(0) + be32(0)) + stbl);
    const std::string handler = handler_type.empty() ? "" : hdlr(handler_type);
    const std::string mdia = box("mdia", mdhd(timescale, 0) + handler + minf);
    return box("trak", (track_id != 0 ? tkhd(track_id) : "") + mdia);
}

// ---- Fragmented movies ------------------------------------------------------

std::string mehd(int version, std::uint64_t fragment_duration) {
    const std::string duration = version == 1 ? be64(fragment_duration)
                                              : be32(static_cast<std::uint32_t>(fragment_duration));
    return box("mehd", be32(static_cast<std::uint32_t>(version) << 24) + duration);
}

std::string trex(std::uint32_t track_id, std::uint32_t default_duration) {
    return box("trex", be32(0) + be32(track_id) + be32(1) + be32(default_duration) + be32(0) + be32(0));
}

std::string tfhd(std::uint32_t track_id, std::uint32_t flags, std::uint32_t default_duration) {
    std::string p = be32(flags & 0xFFFFFF) + be32(track_id);
    if (flags & 0x01) p += be64(0);
    if (flags & 0x02) p += be32(0);
    if (flags & 0x08) p += be32(default_duration);
    if (flags & 0x10) p += be32(0);
    if (flags & 0x20) p += be32(0);
    return box("tfhd", p);
}

std::string trun(std::uint32_t flags, std::uint32_t sample_count, std::initializer_list<std::uint32_t> durations) {
    std::string p = be32(flags & 0xFFFFFF) + be32(sample_count);
    if (flags & 0x01) p += be32(0);
    if (flags & 0x04) p += be32(0);
    for (std::uint32_t d : durations) {
        if (flags & 0x100) p += be32(d);
        for (std::uint32_t field : {0x200u, 0x400u, 0x800u})
            if (flags & field) p += be32(0);
    }
    return box("trun", p);
}

std::string iso_file(std::uint32_t timescale, std::uint32_t duration,
                     std::initializer_list<std::string_view> fourccs, std::size_t mdat_bytes) {
    std::string moov = mvhd(0, timescale, duration);
    for (std::string_view f : fourccs) moov += track(f);
    return ftyp() + box("moov", moov) + box("mdat", zeros(mdat_bytes));
}

// ---- RIFF/WAVE --------------------------------------------------------------

std::string riff_wave(std::string_view chunks) {
    return "RIFF" + le32(static_cast<std::uint32_t>(4 + chunks.size())) + "WAVE" + std::string(chunks);
}

std::string chunk_sized(std::string_view id, std::uint32_t size, std::string_view body) {
    return std::string(id.substr(0, 4)) + le32(size) + std::string(body);
}

std::string chunk(std::string_view id, std::string_view body) {
    std::string out = chunk_sized(id, static_cast<std::uint32_t>(body.size()), body);
    if (body.size() % 2 == 1) out += '\0';
    return out;
}

namespace {
std::string fmt_fields(std::uint16_t format_tag, std::uint16_t channels, std::uint32_t rate,
                       std::uint16_t bits) {
    const std::uint32_t block = channels * ((bits + 7u) / 8u);
    return le16(format_tag) + le16(channels) + le32(rate) + le32(rate * block) +
           le16(static_cast<std::uint16_t>(block)) + le16(bits);
}
}  // namespace

std::string wav_fmt(std::uint16_t format_tag, std::uint16_t channels, std::uint32_t rate,
                    std::uint16_t bits) {
    return chunk("fmt ", fmt_fields(format_tag, channels, rate, bits));
}

std::string wav_fmt_extensible(std::uint16_t channels, std::uint32_t rate, std::uint16_t bits) {
    static const std::string pcm_subformat("\x01\x00\x00\x00\x00\x00\x10\x00\x80\x00\x00\xAA\x00\x38\x9B\x71", 16);
    const std::uint32_t mask = channels == 1 ? 0x4u : 0x3u;
    return chunk("fmt ", fmt_fields(0xFFFE, channels, rate, bits) + le16(22) + le16(bits) + le32(mask) +
                             pcm_subformat);
}

std::string wav_data(std::uint32_t data_bytes) { return chunk("data", zeros(data_bytes)); }

std::string pcm_wav(std::uint16_t channels, std::uint32_t rate, std::uint16_t bits,
                    std::uint32_t data_bytes) {
    return riff_wave(wav_fmt(1, channels, rate, bits) + wav_data(data_bytes));
}

}  // namespace pf_test
