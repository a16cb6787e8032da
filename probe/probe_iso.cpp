// ISO base media files: play time from the movie header, codec from the last
// track's first sample description, reading box headers only.
#include <cstdint>
#include <cstdio>
#include <string_view>

#include "core/number.h"
#include "core/platform.h"
#include "probe/readers.h"

namespace pf {

namespace {

constexpr std::uint32_t fourcc(std::string_view s) {
    return static_cast<std::uint32_t>(static_cast<unsigned char>(s[0])) << 24 |
           static_cast<std::uint32_t>(static_cast<unsigned char>(s[1])) << 16 |
           static_cast<std::uint32_t>(static_cast<unsigned char>(s[2])) << 8 |
           static_cast<std::uint32_t>(static_cast<unsigned char>(s[3]));
}

constexpr std::uint32_t kMoov = fourcc("moov");
constexpr std::uint32_t kMvhd = fourcc("mvhd");
constexpr std::uint32_t kTrak = fourcc("trak");
constexpr std::uint32_t kMdia = fourcc("mdia");
constexpr std::uint32_t kHdlr = fourcc("hdlr");
constexpr std::uint32_t kSound = fourcc("soun");
constexpr std::uint32_t kVideo = fourcc("vide");
constexpr std::uint32_t kMinf = fourcc("minf");
constexpr std::uint32_t kStbl = fourcc("stbl");
constexpr std::uint32_t kStsd = fourcc("stsd");

// Sample entry types and their labels, first match wins. A three-character
// pattern accepts any fourth character.
struct CodecRule {
    std::string_view type;
    const char *codec;
};
constexpr CodecRule kCodecs[] = {
    {"mp4a", "mp4a"}, {"alac", "alac"}, {"Opus", "opus"}, {"opus", "opus"}, {"hvc1", "h265"},
    {"hvc", "h265"},  {"avc", "h264"},  {"evas", "evc"},  {"sorc", "ac3"},  {"ec3 ", "eac3"},
    {"wma", "wma"},   {"vp9", "vp9"},   {"av1 ", "av1"},
};

bool type_matches(std::uint32_t type, std::string_view pattern) {
    for (std::size_t i = 0; i < pattern.size(); ++i)
        if (((type >> (24 - 8 * i)) & 0xFF) != static_cast<unsigned char>(pattern[i])) return false;
    return true;
}

const char *codec_of(std::uint32_t type) {
    for (const CodecRule &r : kCodecs)
        if (type_matches(type, r.type)) return r.codec;
    return "unknown";
}

enum class Walk { go_on, stop, fail };

struct IsoScan {
    std::FILE *f = nullptr;
    bool have_movie_header = false;
    std::uint32_t timescale = 1;
    std::int64_t duration = 0;
    bool have_sample_entry = false;
    std::uint32_t sample_entry = 0;
};

struct Span {
    std::int64_t start;
    std::int64_t end;
    int header_len;
};

Span span_of(std::int64_t pos, const pf_box &b) { return {pos, b.next, b.header_len}; }

// A container with less than 16 bytes cannot hold a child header after its own.
bool enterable(const Span &s) { return s.end - s.start >= 16; }

// Calls visit(pos, box) for each box of the container until it says stop or
// fail; an unusable header ends the walk with the result `unusable`.
template <typename Visit>
Walk walk_boxes(std::FILE *f, std::int64_t start, std::int64_t end, Walk unusable, Visit visit) {
    std::int64_t pos = start;
    for (;;) {
        pf_box b;
        const BoxRead r = pf_box_header(f, pos, end, &b);
        if (r == BoxRead::unusable) return unusable;
        if (r == BoxRead::none) return Walk::go_on;
        const Walk w = visit(pos, b);
        if (w != Walk::go_on) return w;
        if (b.next > end - 8) return Walk::go_on;
        pos = b.next;
    }
}

Walk read_movie_header(IsoScan &scan, const Span &box) {
    unsigned char v[8];
    if (seek64(scan.f, box.start + box.header_len, SEEK_SET) != 0 || !read_exact(scan.f, v, 4)) return Walk::fail;
    const bool wide = v[0] == 1;
    const std::int64_t times_len = wide ? 16 : 8;
    if (seek64(scan.f, times_len, SEEK_CUR) != 0 || !read_exact(scan.f, v, 4)) return Walk::fail;
    const auto timescale = static_cast<std::uint32_t>(big_endian(v, 4));
    const int duration_len = wide ? 8 : 4;
    if (!read_exact(scan.f, v, static_cast<std::size_t>(duration_len))) return Walk::fail;
    // A header without a timescale cannot give a time; a later one still may.
    if (timescale == 0) return Walk::go_on;
    scan.timescale = timescale;
    scan.duration = static_cast<std::int64_t>(big_endian(v, duration_len));
    scan.have_movie_header = true;
    return Walk::go_on;
}

// The first sample entry's type; a short read gives up on this media box.
Walk read_sample_description(IsoScan &scan, const Span &box) {
    unsigned char v[8];
    if (seek64(scan.f, box.start + box.header_len, SEEK_SET) != 0 || !read_exact(scan.f, v, 4) ||
        !read_exact(scan.f, v, 4))
        return Walk::stop;
    if (big_endian(v, 4) == 0) return Walk::go_on;
    if (read_exact(scan.f, v, 8)) {
        scan.sample_entry = static_cast<std::uint32_t>(big_endian(v + 4, 4));
        scan.have_sample_entry = true;
    }
    return Walk::go_on;
}

// Only the first sample description is read; stop when it could not be.
Walk walk_sample_table(IsoScan &scan, const Span &stbl) {
    Walk result = Walk::go_on;
    walk_boxes(scan.f, stbl.start + stbl.header_len, stbl.end, Walk::go_on, [&](std::int64_t pos, const pf_box &b) {
        if (b.type != kStsd) return Walk::go_on;
        result = read_sample_description(scan, span_of(pos, b));
        return Walk::stop;
    });
    return result;
}

// Only the last sample table of a media information box counts.
Walk walk_media_information(IsoScan &scan, const Span &minf) {
    bool have_stbl = false;
    Span stbl{};
    walk_boxes(scan.f, minf.start + minf.header_len, minf.end, Walk::go_on, [&](std::int64_t pos, const pf_box &b) {
        if (b.type == kStbl) {
            stbl = span_of(pos, b);
            have_stbl = true;
        }
        return Walk::go_on;
    });
    if (!have_stbl || !enterable(stbl)) return Walk::go_on;
    return walk_sample_table(scan, stbl);
}

// Chapter titles, subtitles and timecodes come in tracks of their own, often
// after the sound (an audio file with chapters ends with a text track); their
// sample entries say nothing about how the file plays, so such a track leaves
// the codec to the others. A handler that cannot be read is no reason to
// pass a track over.
bool holds_sound_or_picture(IsoScan &scan, const Span &hdlr) {
    unsigned char v[12];  // version and flags, a predefined word, the handler type
    const std::int64_t payload = hdlr.start + hdlr.header_len;
    if (hdlr.end - payload < 12 || seek64(scan.f, payload, SEEK_SET) != 0 || !read_exact(scan.f, v, 12)) return true;
    const auto handler = static_cast<std::uint32_t>(big_endian(v + 8, 4));
    return handler == kSound || handler == kVideo;
}

void walk_media(IsoScan &scan, const Span &mdia) {
    walk_boxes(scan.f, mdia.start + mdia.header_len, mdia.end, Walk::go_on, [&](std::int64_t pos, const pf_box &b) {
        const Span s = span_of(pos, b);
        if (b.type == kHdlr && !holds_sound_or_picture(scan, s)) return Walk::stop;
        if (b.type == kMinf && enterable(s)) return walk_media_information(scan, s);
        return Walk::go_on;
    });
}

// A track is looked at up to its first media box, which ends it.
void walk_track(IsoScan &scan, const Span &trak) {
    walk_boxes(scan.f, trak.start + trak.header_len, trak.end, Walk::go_on, [&](std::int64_t pos, const pf_box &b) {
        if (b.type != kMdia) return Walk::go_on;
        const Span s = span_of(pos, b);
        if (enterable(s)) walk_media(scan, s);
        return Walk::stop;
    });
}

Walk walk_movie(IsoScan &scan, const Span &moov) {
    const Walk w = walk_boxes(scan.f, moov.start + moov.header_len, moov.end, Walk::go_on,
                              [&](std::int64_t pos, const pf_box &b) {
                                  const Span s = span_of(pos, b);
                                  if (b.type == kMvhd && !scan.have_movie_header) return read_movie_header(scan, s);
                                  if (b.type == kTrak && enterable(s)) walk_track(scan, s);
                                  return Walk::go_on;
                              });
    return w == Walk::fail ? Walk::fail : Walk::go_on;
}

Walk walk_top_level(IsoScan &scan, std::int64_t length) {
    return walk_boxes(scan.f, 0, length, Walk::fail, [&](std::int64_t pos, const pf_box &b) {
        const Span s = span_of(pos, b);
        if (b.type == kMoov && enterable(s) && walk_movie(scan, s) == Walk::fail) return Walk::fail;
        // Boxes after the movie (media data, often most of the file) are
        // never looked at once both facts are known.
        if (scan.have_movie_header && scan.have_sample_entry) return Walk::stop;
        return Walk::go_on;
    });
}

std::int64_t file_length(std::FILE *f) {
    if (seek64(f, 0, SEEK_END) != 0) return -1;
    const std::int64_t length = tell64(f);
    if (seek64(f, 0, SEEK_SET) != 0) return -1;
    return length;
}

}  // namespace

BoxRead pf_box_header(std::FILE *f, std::int64_t pos, std::int64_t end, pf_box *out) {
    if (pos > end - 8) return BoxRead::none;
    if (seek64(f, pos, SEEK_SET) != 0) return BoxRead::unusable;
    unsigned char h[8];
    if (!read_exact(f, h, 8)) return BoxRead::none;
    out->size = static_cast<std::uint32_t>(big_endian(h, 4));
    out->type = static_cast<std::uint32_t>(big_endian(h + 4, 4));
    out->header_len = 8;
    std::uint64_t box_size = out->size;
    if (out->size == 1) {
        if (!read_exact(f, h, 8)) return BoxRead::unusable;
        box_size = big_endian(h, 8);
        if (box_size < 16) return BoxRead::unusable;
        out->header_len = 16;
    } else if (out->size == 0) {
        out->next = end;
        return BoxRead::ok;
    }
    // Sizes come from the file: one may claim to run past its container, or
    // be too large for a signed position.
    if (box_size > static_cast<std::uint64_t>(end - pos)) return BoxRead::unusable;
    out->next = pos + static_cast<std::int64_t>(box_size);
    return BoxRead::ok;
}

ProbeFailure probe_iso(const char *path, const char *mime, pf_probe_info *out) {
    File file = open_for_random_read(path);
    if (!file) return ProbeFailure::open_failed;
    IsoScan scan;
    scan.f = file.get();
    const std::int64_t length = file_length(scan.f);
    if (length < 8) return ProbeFailure::no_movie_header;
    if (walk_top_level(scan, length) == Walk::fail || !scan.have_movie_header) return ProbeFailure::no_movie_header;
    out->duration_s = sat_i64(static_cast<double>(scan.duration) / static_cast<double>(scan.timescale));
    out->mime = mime;
    out->codec = scan.have_sample_entry ? codec_of(scan.sample_entry) : "unknown";
    out->bitrate_kbps = 0;
    out->derive_bitrate = true;
    return ProbeFailure::none;
}

}  // namespace pf
