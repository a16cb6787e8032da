// ISO base media files: play time from the movie header (or, when the movie
// is fragmented, from its fragments too), codec from the last track's first
// sample description, reading box headers and a few small fields only.
#include <algorithm>
#include <bit>
#include <cstdint>
#include <iterator>
#include <string_view>

#include "core/number.h"
#include "probe/readers.h"
#include "probe/source.h"

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
constexpr std::uint32_t kTkhd = fourcc("tkhd");
constexpr std::uint32_t kMdhd = fourcc("mdhd");
constexpr std::uint32_t kMinf = fourcc("minf");
constexpr std::uint32_t kStbl = fourcc("stbl");
constexpr std::uint32_t kStsd = fourcc("stsd");
constexpr std::uint32_t kMvex = fourcc("mvex");
constexpr std::uint32_t kMehd = fourcc("mehd");
constexpr std::uint32_t kTrex = fourcc("trex");
constexpr std::uint32_t kMoof = fourcc("moof");
constexpr std::uint32_t kTraf = fourcc("traf");
constexpr std::uint32_t kTfhd = fourcc("tfhd");
constexpr std::uint32_t kTrun = fourcc("trun");

// Handler types of tracks that carry neither sound nor picture: text
// (chapters), subtitles, closed captions, timecodes, hints and metadata.
constexpr std::uint32_t kNeitherSoundNorPicture[] = {
    fourcc("text"), fourcc("sbtl"), fourcc("subt"), fourcc("clcp"), fourcc("tmcd"), fourcc("hint"), fourcc("meta"),
};

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

enum class Walk { go_on, stop, fail, unusable };

// The clock of one track, for adding up the samples of its movie fragments.
struct TrackClock {
    std::uint32_t id = 0;
    std::uint32_t timescale = 0;         // from the media header; 0 until known
    std::uint32_t default_duration = 0;  // of a sample, from the track extends box
    std::uint64_t fragments = 0;         // sample durations in movie fragments, in the track's timescale
};

// Tracks beyond these are not counted: the table lives on the stack.
constexpr std::size_t kMaxTracks = 32;

struct IsoScan {
    explicit IsoScan(ByteSource &s) : source(s) {}

    ByteSource &source;
    bool have_movie_header = false;
    std::uint32_t timescale = 1;
    std::int64_t duration = 0;
    bool have_sample_entry = false;
    std::uint32_t sample_entry = 0;
    bool fragmented = false;              // the movie holds a movie extends box
    std::uint64_t fragment_duration = 0;  // the whole presentation, in the movie's timescale; 0 when not given
    TrackClock tracks[kMaxTracks];
    std::size_t track_count = 0;

    bool facts_known() const { return have_movie_header && have_sample_entry; }

    // A fragmented movie that does not give its whole length has it only in
    // the fragments that follow it, to the end of the file.
    bool counting_fragments() const { return fragmented && fragment_duration == 0; }

    // The clock of track id, added when new; nullptr for id 0 or a full table.
    TrackClock *track(std::uint32_t id) {
        if (id == 0) return nullptr;
        for (std::size_t i = 0; i < track_count; ++i)
            if (tracks[i].id == id) return &tracks[i];
        if (track_count == kMaxTracks) return nullptr;
        tracks[track_count].id = id;
        return &tracks[track_count++];
    }

    // The longest track's fragments, in seconds.
    double longest_fragments() const {
        double longest = 0.0;
        for (std::size_t i = 0; i < track_count; ++i)
            if (tracks[i].timescale != 0)
                longest = std::max(longest, static_cast<double>(tracks[i].fragments) / tracks[i].timescale);
        return longest;
    }
};

struct Span {
    std::int64_t start;
    std::int64_t end;
    int header_len;
};

Span span_of(std::int64_t pos, const pf_box &b) { return {pos, b.next, b.header_len}; }

// A container with less than 16 bytes cannot hold a child header after its own.
bool enterable(const Span &s) { return s.end - s.start >= 16; }

// n bytes at offset into a box's payload; nullptr when they would run past
// the box or the file.
const unsigned char *field(IsoScan &scan, const Span &box, std::int64_t offset, std::size_t n) {
    const std::int64_t at = box.start + box.header_len + offset;
    if (at > box.end - static_cast<std::int64_t>(n)) return nullptr;
    return scan.source.bytes_at(at, n);
}

// Full boxes with a version byte: version 1 widens the creation and
// modification times to 64 bits, moving the fields after them.
std::int64_t after_times(unsigned char version) { return 4 + (version == 1 ? 16 : 8); }

std::uint32_t u32(const unsigned char *p) { return static_cast<std::uint32_t>(big_endian(p, 4)); }

std::uint64_t add_saturated(std::uint64_t a, std::uint64_t b) { return a > UINT64_MAX - b ? UINT64_MAX : a + b; }

// Calls visit(pos, box) for each box of the container until it says stop or
// fail; an unusable header ends the walk with the result `unusable`.
template <typename Visit>
Walk walk_boxes(ByteSource &source, std::int64_t start, std::int64_t end, Walk unusable, Visit visit) {
    std::int64_t pos = start;
    for (;;) {
        pf_box b;
        const BoxRead r = pf_box_header(source, pos, end, &b);
        if (r == BoxRead::unusable) return unusable;
        if (r == BoxRead::none) return Walk::go_on;
        const Walk wk = visit(pos, b);
        if (wk != Walk::go_on) return wk;
        if (b.next > end - 8) return Walk::go_on;
        pos = b.next;
    }
}

// walk_boxes over the children of box, where an unusable header ends only
// this walk.
template <typename Visit>
Walk walk_children(IsoScan &scan, const Span &box, Visit visit) {
    return walk_boxes(scan.source, box.start + box.header_len, box.end, Walk::go_on, visit);
}

Walk read_movie_header(IsoScan &scan, const Span &box) {
    const std::int64_t payload = box.start + box.header_len;
    const unsigned char *v = scan.source.bytes_at(payload, 4);
    if (v == nullptr) return Walk::fail;
    const int duration_len = v[0] == 1 ? 8 : 4;
    v = scan.source.bytes_at(payload + after_times(v[0]), 4 + static_cast<std::size_t>(duration_len));
    if (v == nullptr) return Walk::fail;
    const std::uint32_t timescale = u32(v);
    // A header without a timescale cannot give a time; a later one still may.
    if (timescale == 0) return Walk::go_on;
    scan.timescale = timescale;
    scan.duration = static_cast<std::int64_t>(big_endian(v + 4, duration_len));
    scan.have_movie_header = true;
    return Walk::go_on;
}

// The first sample entry's type; a short read gives up on this media box.
Walk read_sample_description(IsoScan &scan, const Span &box) {
    const std::int64_t payload = box.start + box.header_len;
    const unsigned char *v = scan.source.bytes_at(payload, 8);  // version and flags, entry count
    if (v == nullptr) return Walk::stop;
    if (u32(v + 4) == 0) return Walk::go_on;
    if ((v = scan.source.bytes_at(payload + 8, 8)) != nullptr) {
        scan.sample_entry = u32(v + 4);
        scan.have_sample_entry = true;
    }
    return Walk::go_on;
}

// Only the first sample description is read; stop when it could not be.
Walk walk_sample_table(IsoScan &scan, const Span &stbl) {
    Walk result = Walk::go_on;
    walk_children(scan, stbl, [&](std::int64_t pos, const pf_box &b) {
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
    walk_children(scan, minf, [&](std::int64_t pos, const pf_box &b) {
        if (b.type == kStbl) {
            stbl = span_of(pos, b);
            have_stbl = true;
        }
        return Walk::go_on;
    });
    if (!have_stbl || !enterable(stbl)) return Walk::go_on;
    return walk_sample_table(scan, stbl);
}

// Chapter titles, subtitles, captions and timecodes come in tracks of their
// own, often after the sound (an audio file with chapters ends with a text
// track); their sample entries say nothing about how the file plays, so such
// a track leaves the codec to the others. Only handlers known to carry
// neither sound nor picture are passed over: writers leave the handler type
// zero or put their own there, and a track without a readable handler still
// names what it holds.
bool carries_neither_sound_nor_picture(IsoScan &scan, const Span &hdlr) {
    const unsigned char *v = field(scan, hdlr, 8, 4);  // after version, flags and a predefined word
    if (v == nullptr) return false;
    const std::uint32_t handler = u32(v);
    return std::find(std::begin(kNeitherSoundNorPicture), std::end(kNeitherSoundNorPicture), handler) !=
           std::end(kNeitherSoundNorPicture);
}

void read_media_timescale(IsoScan &scan, const Span &mdhd, TrackClock *clock) {
    const unsigned char *v = field(scan, mdhd, 0, 1);
    if (v != nullptr && (v = field(scan, mdhd, after_times(v[0]), 4)) != nullptr) clock->timescale = u32(v);
}

void walk_media(IsoScan &scan, const Span &mdia, TrackClock *clock) {
    walk_children(scan, mdia, [&](std::int64_t pos, const pf_box &b) {
        const Span s = span_of(pos, b);
        if (b.type == kMdhd && clock != nullptr) read_media_timescale(scan, s, clock);
        if (b.type == kHdlr && carries_neither_sound_nor_picture(scan, s)) return Walk::stop;
        if (b.type == kMinf && enterable(s)) return walk_media_information(scan, s);
        return Walk::go_on;
    });
}

// The track header names the track that movie fragments refer to.
std::uint32_t read_track_id(IsoScan &scan, const Span &tkhd) {
    const unsigned char *v = field(scan, tkhd, 0, 1);
    if (v == nullptr || (v = field(scan, tkhd, after_times(v[0]), 4)) == nullptr) return 0;
    return u32(v);
}

// A track is looked at up to its first media box, which ends it.
void walk_track(IsoScan &scan, const Span &trak) {
    std::uint32_t id = 0;
    walk_children(scan, trak, [&](std::int64_t pos, const pf_box &b) {
        const Span s = span_of(pos, b);
        if (b.type == kTkhd) id = read_track_id(scan, s);
        if (b.type != kMdia) return Walk::go_on;
        if (enterable(s)) walk_media(scan, s, scan.track(id));
        return Walk::stop;
    });
}

// The movie extends box marks a fragmented movie; it may give the length of
// the whole presentation, and each track's default sample duration.
void walk_movie_extends(IsoScan &scan, const Span &mvex) {
    scan.fragmented = true;
    walk_children(scan, mvex, [&](std::int64_t pos, const pf_box &b) {
        const Span s = span_of(pos, b);
        const unsigned char *v;
        if (b.type == kMehd && (v = field(scan, s, 0, 1)) != nullptr) {
            const int len = v[0] == 1 ? 8 : 4;
            if ((v = field(scan, s, 4, static_cast<std::size_t>(len))) != nullptr) {
                const std::uint64_t d = big_endian(v, len);
                if (d != 0) scan.fragment_duration = d;
            }
        }
        if (b.type == kTrex && (v = field(scan, s, 4, 12)) != nullptr) {  // track id, description index, duration
            if (TrackClock *clock = scan.track(u32(v))) clock->default_duration = u32(v + 8);
        }
        return Walk::go_on;
    });
}

Walk walk_movie(IsoScan &scan, const Span &moov) {
    const Walk w = walk_children(scan, moov, [&](std::int64_t pos, const pf_box &b) {
        const Span s = span_of(pos, b);
        if (b.type == kMvhd && !scan.have_movie_header) return read_movie_header(scan, s);
        if (b.type == kTrak && enterable(s)) walk_track(scan, s);
        if (b.type == kMvex) walk_movie_extends(scan, s);
        return Walk::go_on;
    });
    return w == Walk::fail ? Walk::fail : Walk::go_on;
}

// Track fragment header flags: which optional fields follow the track id.
constexpr std::uint32_t kBaseDataOffset = 0x01;
constexpr std::uint32_t kDescriptionIndex = 0x02;
constexpr std::uint32_t kDefaultDuration = 0x08;
// Track run flags: the optional fields before the samples, and the fields of
// each sample record, in the order they are stored.
constexpr std::uint32_t kDataOffset = 0x01;
constexpr std::uint32_t kFirstSampleFlags = 0x04;
constexpr std::uint32_t kSampleDuration = 0x100;
constexpr std::uint32_t kSampleFields = 0xF00;

// The clock of the fragment's track, and the sample duration that applies
// when a run gives none: the header's own, else the track's default.
TrackClock *read_fragment_header(IsoScan &scan, const Span &tfhd, std::uint32_t *default_duration) {
    const unsigned char *v = field(scan, tfhd, 0, 8);  // version and flags, track id
    TrackClock *clock = v != nullptr ? scan.track(u32(v + 4)) : nullptr;
    if (clock == nullptr) return nullptr;
    const auto flags = static_cast<std::uint32_t>(big_endian(v + 1, 3));
    *default_duration = clock->default_duration;
    const std::int64_t at = 8 + ((flags & kBaseDataOffset) != 0 ? 8 : 0) + ((flags & kDescriptionIndex) != 0 ? 4 : 0);
    if ((flags & kDefaultDuration) != 0 && (v = field(scan, tfhd, at, 4)) != nullptr) *default_duration = u32(v);
    return clock;
}

// A run that claims more samples than it holds counts those it holds.
std::uint64_t run_duration(IsoScan &scan, const Span &trun, std::uint32_t default_duration) {
    const unsigned char *v = field(scan, trun, 0, 8);  // version and flags, sample count
    if (v == nullptr) return 0;
    const auto flags = static_cast<std::uint32_t>(big_endian(v + 1, 3));
    const std::uint32_t count = u32(v + 4);
    if ((flags & kSampleDuration) == 0) return std::uint64_t{count} * default_duration;
    const std::int64_t record = 4 * std::popcount(flags & kSampleFields);
    std::int64_t at = 8 + ((flags & kDataOffset) != 0 ? 4 : 0) + ((flags & kFirstSampleFlags) != 0 ? 4 : 0);
    std::uint64_t total = 0;  // below 2^32 samples of below 2^32 each
    for (std::uint32_t i = 0; i < count && (v = field(scan, trun, at, 4)) != nullptr; ++i, at += record)
        total += u32(v);
    return total;
}

void walk_track_fragment(IsoScan &scan, const Span &traf) {
    TrackClock *clock = nullptr;
    std::uint32_t default_duration = 0;
    walk_children(scan, traf, [&](std::int64_t pos, const pf_box &b) {
        const Span s = span_of(pos, b);
        if (b.type == kTfhd) clock = read_fragment_header(scan, s, &default_duration);
        if (b.type == kTrun && clock != nullptr)
            clock->fragments = add_saturated(clock->fragments, run_duration(scan, s, default_duration));
        return Walk::go_on;
    });
}

void walk_movie_fragment(IsoScan &scan, const Span &moof) {
    walk_children(scan, moof, [&](std::int64_t pos, const pf_box &b) {
        const Span s = span_of(pos, b);
        if (b.type == kTraf && enterable(s)) walk_track_fragment(scan, s);
        return Walk::go_on;
    });
}

Walk walk_top_level(IsoScan &scan, std::int64_t length) {
    const Walk w = walk_boxes(scan.source, 0, length, Walk::unusable, [&](std::int64_t pos, const pf_box &b) {
        const Span s = span_of(pos, b);
        if (b.type == kMoov && enterable(s) && walk_movie(scan, s) == Walk::fail) return Walk::fail;
        if (b.type == kMoof && enterable(s)) walk_movie_fragment(scan, s);
        // Boxes after the movie (media data, often most of the file) are
        // never looked at once both facts are known, but for the fragments
        // that hold the length of a fragmented movie.
        if (scan.facts_known() && !scan.counting_fragments()) return Walk::stop;
        return Walk::go_on;
    });
    // A fragmented recording cut off inside its last fragment keeps the
    // movie it has and the fragments before the cut.
    if (w == Walk::unusable) return scan.facts_known() ? Walk::stop : Walk::fail;
    return w;
}

// The movie header's duration; a fragmented movie's is that of the whole
// presentation when the movie extends box gives it, else that of the samples
// held in the movie box itself (often none) plus the longest track's fragments.
double movie_seconds(const IsoScan &scan) {
    const auto timescale = static_cast<double>(scan.timescale);
    if (scan.fragmented && scan.fragment_duration != 0) return static_cast<double>(scan.fragment_duration) / timescale;
    const double seconds = static_cast<double>(scan.duration) / timescale;
    return scan.fragmented ? seconds + scan.longest_fragments() : seconds;
}

}  // namespace

BoxRead pf_box_header(ByteSource &source, std::int64_t pos, std::int64_t end, pf_box *out) {
    if (pos > end - 8) return BoxRead::none;
    const unsigned char *h = source.bytes_at(pos, 8);
    if (h == nullptr) return BoxRead::none;
    out->size = u32(h);
    out->type = u32(h + 4);
    out->header_len = 8;
    std::uint64_t box_size = out->size;
    if (out->size == 1) {
        if ((h = source.bytes_at(pos + 8, 8)) == nullptr) return BoxRead::unusable;
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

ProbeFailure probe_iso(ByteSource &source, pf_probe_info *out) {
    const std::int64_t length = source.length();
    if (length < 8) return ProbeFailure::no_movie_header;
    IsoScan scan(source);
    if (walk_top_level(scan, length) == Walk::fail || !scan.have_movie_header) return ProbeFailure::no_movie_header;
    out->duration_s = sat_i64(movie_seconds(scan));
    out->codec = scan.have_sample_entry ? codec_of(scan.sample_entry) : "unknown";
    out->bitrate_kbps = 0;
    out->derive_bitrate = true;
    return ProbeFailure::none;
}

}  // namespace pf
