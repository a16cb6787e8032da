// Media files for tests, built byte by byte: MPEG audio frames and ID3 tags,
// ISO base media boxes, RIFF/WAVE chunks. Every builder returns the bytes as a
// std::string; concatenate them and write the result with pf_test::write_file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>

namespace pf_test {

// ---- Integers in file byte order ------------------------------------------

std::string be16(std::uint16_t v);
std::string be32(std::uint32_t v);
std::string be64(std::uint64_t v);
std::string le16(std::uint16_t v);
std::string le32(std::uint32_t v);

// ---- MPEG audio -------------------------------------------------------------

// The 2-bit fields as the header stores them.
enum MpegVersion : int { mpeg25 = 0, mpeg_reserved = 1, mpeg2 = 2, mpeg1 = 3 };
enum MpegLayer : int { layer_reserved = 0, layer3 = 1, layer2 = 2, layer1 = 3 };

// One frame header. Indices are the raw header fields, so tests can also
// describe invalid headers (bitrate index 0 or 15, sample-rate index 3).
struct MpegFrame {
    int version = mpeg1;
    int layer = layer3;
    int bitrate_index = 9;      // 128 kbps for MPEG-1 Layer III
    int sample_rate_index = 0;  // 44100 Hz for MPEG-1
    bool padding = false;
    int channel_mode = 0;  // 0 stereo, 1 joint, 2 dual, 3 mono
};

// The 4 header bytes (sync, no CRC, private/copyright/original bits clear).
std::string mpeg_header(const MpegFrame &f);

// The frame's length in bytes by the rules of its layer; 0 when the header's
// bitrate or sample rate is not a real value (index 0, 15 or 3, reserved
// version or layer).
std::size_t mpeg_frame_length(const MpegFrame &f);

// Samples one frame of this version and layer carries (384, 576 or 1152).
int mpeg_samples_per_frame(const MpegFrame &f);

// The header followed by zero bytes up to the frame's length
// (mpeg_frame_length), or up to length bytes when length is given.
std::string mpeg_frame(const MpegFrame &f);
std::string mpeg_frame(const MpegFrame &f, std::size_t length);

// count copies of the frame one after another.
std::string mpeg_frames(const MpegFrame &f, std::size_t count);

// A Layer III frame whose side data carries an "Xing" (vbr) or "Info" (cbr)
// header with the frame count and byte count set.
std::string mpeg_info_frame(const MpegFrame &f, std::uint32_t frames, std::uint32_t bytes, bool vbr);

// ---- ID3 tags ---------------------------------------------------------------

// The 4-byte sync-safe form of a size below 2^28 (7 bits per byte).
std::string syncsafe32(std::uint32_t v);

// The 10-byte ID3v2 header with the given major version, flags and size bytes
// written as given (tests of hostile sizes pass their own).
std::string id3v2_header(int major, std::uint8_t flags, std::string_view size_bytes);

// A whole ID3v2 tag: header with sync-safe body size, body_size zero bytes
// (padding), and the 10-byte "3DI" footer when footer is set (flag 0x10).
std::string id3v2_tag(int major, std::uint32_t body_size, bool footer = false);

// A 128-byte ID3v1 tag ("TAG", title cut to 30 bytes, the rest zero).
std::string id3v1_tag(std::string_view title);

// ---- ISO base media boxes ---------------------------------------------------

// A box with a 32-bit size covering the header and payload.
std::string box(std::string_view type, std::string_view payload);

// A box with size field 1 and a 64-bit size covering the 16-byte header.
std::string box64(std::string_view type, std::string_view payload);

// Boxes whose stated sizes are written as given, whatever the payload length
// (for sizes 0, 1 to 7, past the container, near 2^64).
std::string box_sized(std::string_view type, std::uint32_t size, std::string_view payload);
std::string box64_sized(std::string_view type, std::uint64_t size, std::string_view payload);

std::string ftyp(std::string_view major_brand = "isom");

// Movie header: version 0 keeps 32-bit times and duration, version 1 64-bit.
std::string mvhd(int version, std::uint32_t timescale, std::uint64_t duration);

std::string mdhd(std::uint32_t timescale, std::uint32_t duration);
std::string hdlr(std::string_view handler_type);

// A sample description with one entry of the given four-character type.
std::string stsd(std::string_view fourcc);
// A sample description with entry count 0.
std::string stsd_empty();

// Track header (version 0) naming the track that movie fragments refer to.
std::string tkhd(std::uint32_t track_id);

// trak > ([tkhd], mdia > (mdhd, [hdlr], minf > stbl > stsd(fourcc))). An empty
// handler type leaves the hdlr box out; a track id other than 0 adds the
// tkhd; timescale is the media header's.
std::string track(std::string_view fourcc, std::string_view handler_type = "soun", std::uint32_t track_id = 0,
                  std::uint32_t timescale = 1000);

// ---- Fragmented movies (moov > mvex, then moof > traf boxes) ----------------

// Movie extends header: the whole presentation's duration in the movie's
// timescale, 32 bits in version 0, 64 bits in version 1.
std::string mehd(int version, std::uint64_t fragment_duration);

// Track extends box: the track's default sample duration (description index
// 1, default size and flags 0).
std::string trex(std::uint32_t track_id, std::uint32_t default_duration);

// Track fragment header with the optional fields that flags names, in their
// order: 0x01 base data offset, 0x02 description index, 0x08 default sample
// duration (default_duration), 0x10 default size, 0x20 default flags; the
// fields other than the duration are zero.
std::string tfhd(std::uint32_t track_id, std::uint32_t flags, std::uint32_t default_duration = 0);

// Track run stating sample_count samples, with the fields that flags names:
// 0x01 data offset and 0x04 first sample flags, then one record per entry of
// durations (whatever sample_count says) holding 0x100 duration, 0x200 size,
// 0x400 flags and 0x800 composition offset; only the duration is not zero.
std::string trun(std::uint32_t flags, std::uint32_t sample_count, std::initializer_list<std::uint32_t> durations = {});

// ftyp, moov(mvhd v0 + one track per fourcc), mdat(mdat_bytes zero bytes).
std::string iso_file(std::uint32_t timescale, std::uint32_t duration,
                     std::initializer_list<std::string_view> fourccs, std::size_t mdat_bytes = 0);

// ---- RIFF/WAVE --------------------------------------------------------------

// "RIFF", a size covering everything after it, "WAVE", then the chunks.
std::string riff_wave(std::string_view chunks);

// A chunk with its size from the body, plus a zero pad byte when odd.
std::string chunk(std::string_view id, std::string_view body);

// A chunk header with a stated size written as given, then body as given.
std::string chunk_sized(std::string_view id, std::uint32_t size, std::string_view body);

// A 16-byte "fmt " chunk; block alignment and byte rate follow from the rest.
std::string wav_fmt(std::uint16_t format_tag, std::uint16_t channels, std::uint32_t rate,
                    std::uint16_t bits);

// A 40-byte WAVE_FORMAT_EXTENSIBLE "fmt " chunk (tag 0xFFFE, PCM subformat).
std::string wav_fmt_extensible(std::uint16_t channels, std::uint32_t rate, std::uint16_t bits);

// A "data" chunk of data_bytes zero bytes.
std::string wav_data(std::uint32_t data_bytes);

// A whole PCM file: fmt, then data_bytes of silence.
std::string pcm_wav(std::uint16_t channels, std::uint32_t rate, std::uint16_t bits,
                    std::uint32_t data_bytes);

}  // namespace pf_test
