// ISO base media files: box headers, the movie header, the codec of the last
// track, and files whose box sizes lie.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "probe/readers.h"
#include "probe/source.h"
#include "probe_support.h"
#include "support/media_builders.h"

namespace pf_test {
namespace {

const std::string kNoMovie = "no mvhd/moov found (not an ISO media file?)";

std::string moov(const std::string &children) { return box("moov", children); }

// A track fragment header flag that plays no part in the play time.
constexpr std::uint32_t kBaseIsMoof = 0x020000;

TEST(BoxHeader, SizesPositionsAndHeaderLengths) {
    const std::string filler(100, '\0');
    const struct {
        const char *what;
        std::string bytes;  // placed at position 100
        std::int64_t end;   // the container's end
        pf::BoxRead read;
        std::int64_t next;
        int header_len;
    } cases[] = {
        {"32-bit size", box("free", std::string(12, '\0')), 1000, pf::BoxRead::ok, 120, 8},
        {"64-bit size 24", box64("free", std::string(8, '\0')), 1000, pf::BoxRead::ok, 124, 16},
        {"size 0 runs to the container's end", box_sized("mdat", 0, ""), 500, pf::BoxRead::ok, 500, 8},
        {"size 2 stays inside its own header", box_sized("free", 2, ""), 1000, pf::BoxRead::ok, 102, 8},
        {"box ending at the container's end", box("free", std::string(12, '\0')), 120, pf::BoxRead::ok, 120, 8},
        {"box ending after the container", box("free", std::string(12, '\0')), 119, pf::BoxRead::unusable, 0, 0},
        {"fewer than 8 bytes left", box("free", ""), 107, pf::BoxRead::none, 0, 0},
        {"64-bit size below 16", box64_sized("free", 15, std::string(8, '\0')), 1000, pf::BoxRead::unusable, 0, 0},
        {"64-bit size near 2^64", box64_sized("mdat", ~std::uint64_t{0}, ""), 1000, pf::BoxRead::unusable, 0, 0},
        {"64-bit size 2^63", box64_sized("mdat", std::uint64_t{1} << 63, ""), 1000, pf::BoxRead::unusable, 0, 0},
        {"64-bit size cut short", be32(1) + "mdat" + "\x00\x00", 1000, pf::BoxRead::unusable, 0, 0},
        {"header cut short by the file", be32(16) + "fr", 1000, pf::BoxRead::none, 0, 0},
    };
    for (const auto &c : cases) {
        const std::string bytes = filler + c.bytes;
        pf::MemorySource source(bytes.data(), bytes.size());
        pf::pf_box b;
        EXPECT_EQ(pf::pf_box_header(source, 100, c.end, &b), c.read) << c.what;
        if (c.read != pf::BoxRead::ok) continue;
        EXPECT_EQ(b.next, c.next) << c.what;
        EXPECT_EQ(b.header_len, c.header_len) << c.what;
    }
}

TEST(IsoProbe, MovieHeaderGivesTheDuration) {
    const struct {
        const char *what;
        std::string bytes;
        long long duration_s;
    } cases[] = {
        {"version 0", iso_file(1000, 60000, {"mp4a"}), 60},
        {"version 1 beyond 32 bits", ftyp() + moov(mvhd(1, 1000, 4294968296ull) + track("mp4a")), 4294968},
        {"truncated toward zero", iso_file(600, 1199, {"mp4a"}), 1},
        {"a second movie header is ignored", ftyp() + moov(mvhd(0, 1, 7) + mvhd(0, 1, 99) + track("mp4a")), 7},
        {"timescale 0 gives way to a later header", ftyp() + moov(mvhd(0, 0, 5) + mvhd(0, 10, 50) + track("mp4a")), 5},
        {"negative 64-bit duration becomes 0", ftyp() + moov(mvhd(1, 1, ~std::uint64_t{0}) + track("mp4a")), 0},
        {"64-bit movie box: first child after 16 bytes", ftyp() + box64("moov", mvhd(0, 2, 20) + track("mp4a")), 10},
        {"movie box of size 0 runs to the end", ftyp() + box_sized("moov", 0, mvhd(0, 1, 3) + track("mp4a")), 3},
        {"movie box after the media data", ftyp() + box("mdat", std::string(64, '\0')) + moov(mvhd(0, 1, 4)), 4},
    };
    for (const auto &c : cases) {
        const Probed p = probe_memory("a.m4a", c.bytes);
        EXPECT_EQ(p.error, "") << c.what;
        EXPECT_EQ(p.duration_s, c.duration_s) << c.what << ": " << p.text;
    }
}

TEST(IsoProbe, CodecComesFromTheTableOfSampleEntryTypes) {
    const struct {
        const char *type;
        const char *codec;
    } cases[] = {
        {"mp4a", "mp4a"}, {"alac", "alac"}, {"Opus", "opus"}, {"opus", "opus"},       {"hvc1", "h265"},
        {"hvc2", "h265"}, {"avc1", "h264"}, {"avc3", "h264"}, {"evas", "evc"},        {"sorc", "ac3"},
        {"ec3 ", "eac3"}, {"wmaX", "wma"},  {"vp9 ", "vp9"},  {"av1 ", "av1"},        {"hev1", "unknown"},
        {"ac-3", "unknown"}, {"ec-3", "unknown"}, {"av01", "unknown"}, {"vp09", "unknown"}, {"MP4A", "unknown"},
    };
    for (const auto &c : cases) {
        const Probed p = probe_memory("a.mp4", iso_file(1000, 3000, {c.type}));
        EXPECT_EQ(p.codec, c.codec) << c.type;
    }
}

TEST(IsoProbe, LastTrackThatReadsItsEntryDecides) {
    const struct {
        const char *what;
        std::string bytes;
        const char *codec;
    } cases[] = {
        {"video then audio", iso_file(1000, 1000, {"avc1", "mp4a"}), "mp4a"},
        {"audio then video", iso_file(1000, 1000, {"mp4a", "avc1"}), "h264"},
        {"boxes after a complete movie are not looked at", iso_file(1000, 1000, {"alac"}) + moov(track("avc1")),
         "alac"},
        {"no tracks", ftyp() + moov(mvhd(0, 1000, 1000)), "unknown"},
        // The code stays empty, so the walk goes on and finds the next movie box.
        {"empty description, then a later movie box",
         ftyp() + moov(mvhd(0, 1000, 1000) + box("trak", box("mdia", box("minf", box("stbl", stsd_empty()))))) +
             moov(track("avc1")),
         "h264"},
        {"only the first media box of a track",
         ftyp() + moov(mvhd(0, 1000, 1000) +
                       box("trak", box("mdia", box("minf", box("stbl", stsd("avc1")))) +
                                       box("mdia", box("minf", box("stbl", stsd("mp4a")))))),
         "h264"},
        {"only the last sample table of a media information box",
         ftyp() + moov(mvhd(0, 1000, 1000) +
                       box("trak", box("mdia", box("minf", box("stbl", stsd("avc1")) + box("stbl", stsd("alac")))))),
         "alac"},
        {"only the first sample description of a table",
         ftyp() + moov(mvhd(0, 1000, 1000) +
                       box("trak", box("mdia", box("minf", box("stbl", stsd("alac") + stsd("avc1")))))),
         "alac"},
    };
    for (const auto &c : cases) {
        const Probed p = probe_memory("a.mov", c.bytes);
        EXPECT_EQ(p.codec, c.codec) << c.what << ": " << p.text;
    }
}

// Files with chapters end with a text track, and movies may carry subtitle
// or timecode tracks: only tracks known to carry neither sound nor picture
// leave the codec to the others. Writers leave the handler zero or put their
// own type there, and such tracks still name the codec.
TEST(IsoProbe, OnlyTracksKnownToCarryNeitherSoundNorPictureLeaveTheCodec) {
    const auto movie = [](const std::string &tracks) { return ftyp() + moov(mvhd(0, 1000, 1000) + tracks); };
    const std::string zero(4, '\0');
    const struct {
        const char *what;
        std::string bytes;
        const char *codec;
    } cases[] = {
        {"audio with a chapter track", movie(track("mp4a", "soun") + track("text", "text")), "mp4a"},
        {"video, audio and subtitles", movie(track("avc1", "vide") + track("mp4a", "soun") + track("tx3g", "sbtl")),
         "mp4a"},
        {"timecode before video", movie(track("tmcd", "tmcd") + track("avc1", "vide")), "h264"},
        {"video after audio still decides", movie(track("mp4a", "soun") + track("hvc1", "vide")), "h265"},
        {"nothing but chapters", movie(track("text", "text")), "unknown"},
        {"handler cut short counts as media",
         movie(box("trak", box("mdia", box("hdlr", be32(0)) + box("minf", box("stbl", stsd("alac")))))), "alac"},
        {"zero handler decides", movie(track("mp4a", "soun") + track("avc1", zero)), "h264"},
        {"unknown handler decides", movie(track("mp4a", "soun") + track("avc1", "abcd")), "h264"},
        {"no handler decides", movie(track("mp4a", "soun") + track("avc1", "")), "h264"},
        // Once the codec is known the walk stops before the media data, so
        // its size, beyond the end of the file, is never seen.
        {"zero handler before media data past the end",
         movie(track("alac", zero)) + box_sized("mdat", 0x7FFFFFFF, ""), "alac"},
    };
    for (const auto &c : cases) {
        const Probed p = probe_memory("a.m4a", c.bytes);
        EXPECT_EQ(p.error, "") << c.what;
        EXPECT_EQ(p.codec, c.codec) << c.what << ": " << p.text;
    }
    for (const char *handler : {"text", "sbtl", "subt", "clcp", "tmcd", "hint", "meta"}) {
        const Probed p = probe_memory("a.m4a", movie(track("mp4a", "soun") + track("avc1", handler)));
        EXPECT_EQ(p.codec, "mp4a") << handler;
    }
}

// A fragmented movie (moov holding mvex, then moof boxes) lasts as long as
// mehd says, or else as the samples in moov plus the longest track's
// fragments, each track counted in its own timescale.
TEST(IsoProbe, FragmentedMovieLastsAsItsFragments) {
    // Track 1 counts 10240 a second, track 2 44100; each default sample is 1 s.
    const std::string tracks = track("avc1", "vide", 1, 10240) + track("mp4a", "soun", 2, 44100);
    const std::string extends = trex(1, 10240) + trex(2, 44100);
    const auto movie = [&](std::uint32_t duration, const std::string &mvex_children) {
        return ftyp() + moov(mvhd(0, 1000, duration) + tracks + box("mvex", mvex_children));
    };
    const auto fragment = [](const std::string &trafs, std::size_t media_bytes = 32) {
        return box("moof", box("mfhd", be32(0) + be32(1)) + trafs) + box("mdat", std::string(media_bytes, '\0'));
    };
    const auto traf = [](std::uint32_t id, const std::string &runs, std::uint32_t tfhd_flags = kBaseIsMoof,
                         std::uint32_t default_duration = 0) {
        return box("traf", tfhd(id, tfhd_flags, default_duration) + runs);
    };
    // Ten seconds of video, five of sound, in defaults.
    const std::string ten_and_five = fragment(traf(1, trun(0x205, 10)) + traf(2, trun(0x201, 5)));
    const struct {
        const char *what;
        std::string bytes;
        long long duration_s;
    } cases[] = {
        {"empty movie, fragments in trex defaults", movie(0, extends) + ten_and_five + ten_and_five, 20},
        {"samples in moov plus fragments", movie(2500, extends) + ten_and_five, 12},
        {"fragments far apart",
         movie(0, extends) + fragment(traf(1, trun(0x205, 10)), 100000) + fragment(traf(1, trun(0x205, 10)), 300000) +
             ten_and_five,
         30},
        {"the longest track decides",
         movie(0, extends) + fragment(traf(1, trun(0x205, 3)) + traf(2, trun(0x201, 7))), 7},
        {"several runs and track fragments add up",
         movie(0, extends) + fragment(traf(1, trun(0x205, 2) + trun(0x205, 3)) + traf(1, trun(0, 4))), 9},
        {"per-sample durations, after data offset and first sample flags",
         movie(0, extends) + fragment(traf(2, trun(0xF05, 3, {44100, 88200, 22050}))), 3},
        {"tfhd default after base offset and description index",
         movie(0, extends) + fragment(traf(1, trun(0, 6), 0x0B, 5120)), 3},
        {"tfhd default with every field around it",
         movie(0, extends) + fragment(traf(1, trun(0, 6), 0x3B, 20480)), 12},
        {"mehd gives the whole presentation", movie(2500, mehd(0, 65000) + extends) + ten_and_five, 65},
        {"64-bit mehd", movie(0, mehd(1, 4294968296ull) + extends) + ten_and_five, 4294968},
        {"mehd of 0 counts the fragments", movie(0, mehd(0, 0) + extends) + ten_and_five, 10},
        {"a run claiming more samples than it holds counts those present",
         movie(0, extends) + fragment(traf(2, trun(0x100, 1000000, {44100, 44100}))), 2},
        {"a fragment of a track the movie does not have counts for nothing",
         movie(0, extends) + fragment(traf(9, trun(0, 50), 0x08, 1000)), 0},
        {"a run before any fragment header counts for nothing",
         movie(0, extends) + fragment(box("traf", trun(0, 50)) + traf(1, trun(0, 1))), 1},
        {"a fragment cut off by the end of the file keeps those before it",
         movie(0, extends) + ten_and_five + box_sized("moof", 4096, box("mfhd", be32(0))), 10},
        {"a fragment before the movie counts too, in its own defaults",
         ftyp() + fragment(traf(1, trun(0, 10), 0x08, 10240)) + movie(0, extends).substr(ftyp().size()), 10},
        {"without mvex, fragments are not looked at", iso_file(1000, 4000, {"mp4a"}) + ten_and_five, 4},
    };
    for (const auto &c : cases) {
        const Probed p = probe_memory("a.mp4", c.bytes);
        EXPECT_EQ(p.error, "") << c.what;
        EXPECT_EQ(p.duration_s, c.duration_s) << c.what << ": " << p.text;
        EXPECT_EQ(p.codec, "mp4a") << c.what;
    }
}

// Each file below lies about its sizes; the walk must end, stay in the file
// and give the stated answer (the sanitizer run checks the reads).
TEST(IsoProbe, HostileSizesEndTheWalk) {
    const std::string good_moov = moov(mvhd(0, 1000, 5000) + track("mp4a"));
    const std::string header_only = moov(mvhd(0, 1000, 5000));
    const struct {
        const char *what;
        std::string bytes;
        const char *error;  // "" for success
        const char *codec;
    } cases[] = {
        {"empty file", "", kNoMovie.c_str(), ""},
        {"seven bytes", "\x00\x00\x00\x08moo", kNoMovie.c_str(), ""},
        {"first box longer than the file", box_sized("ftyp", 4096, "isom") + good_moov, kNoMovie.c_str(), ""},
        {"top-level 64-bit size near 2^64", box64_sized("mdat", ~std::uint64_t{0}, "") + good_moov,
         kNoMovie.c_str(), ""},
        {"top-level 64-bit size below 16", box64_sized("free", 8, "") + good_moov, kNoMovie.c_str(), ""},
        {"top-level size 0 ends the walk", ftyp() + box_sized("free", 0, good_moov), kNoMovie.c_str(), ""},
        {"media data past the end, reached after the movie", ftyp() + header_only + box_sized("mdat", 0x7FFFFFFF, ""),
         kNoMovie.c_str(), ""},
        {"media data past the end, never reached", ftyp() + good_moov + box_sized("mdat", 0xFFFFFFFF, ""), "",
         "mp4a"},
        {"movie header cut short by the file", ftyp() + box_sized("moov", 0, box_sized("mvhd", 0, be32(0) + be32(0))),
         kNoMovie.c_str(), ""},
        {"child past its movie box ends only that walk",
         ftyp() + moov(mvhd(0, 1000, 5000) + box_sized("trak", 5000, "")), "", "unknown"},
        {"child with a 64-bit size near 2^64", ftyp() + moov(mvhd(0, 1000, 5000) + box64_sized("trak", ~0ull, "")),
         "", "unknown"},
        {"track child of size 0", ftyp() + moov(mvhd(0, 1000, 5000) + box("trak", box_sized("mdia", 0, ""))), "",
         "unknown"},
        {"sample description cut short by the file",
         ftyp() + box_sized("moov", 0, mvhd(0, 1000, 5000) +
                                           box_sized("trak", 0, box_sized("mdia", 0, box_sized("minf", 0, box_sized("stbl", 0, box_sized("stsd", 0, be32(0) + be32(1) + "\x00\x00")))))),
         "", "unknown"},
    };
    for (const auto &c : cases) {
        const Probed p = probe_memory("a.mp4", c.bytes);
        EXPECT_EQ(p.error, c.error) << c.what << ": " << p.text;
        if (*c.error == '\0') {
            EXPECT_EQ(p.codec, c.codec) << c.what;
        }
    }
}

// Boxes of 2 to 7 bytes make the next header start inside their own; every
// such size, at every level, must still end the walk.
TEST(IsoProbe, TinyBoxSizesAtEveryLevelTerminate) {
    for (std::uint32_t size = 0; size < 8; ++size) {
        const std::string tiny = box_sized("free", size, std::string(8, '\x01'));
        const std::string layouts[] = {
            tiny + ftyp() + moov(mvhd(0, 1, 1)),
            ftyp() + moov(tiny + mvhd(0, 1, 1)),
            ftyp() + moov(mvhd(0, 1, 1) + box("trak", tiny + box("mdia", tiny + box("minf", tiny)))),
            ftyp() + moov(mvhd(0, 1, 1) + box("trak", box("mdia", box("minf", box("stbl", tiny + stsd("mp4a")))))),
        };
        for (const std::string &bytes : layouts) {
            const Probed p = probe_memory("a.mp4", bytes);
            EXPECT_TRUE(p.error.empty() || p.error == kNoMovie) << "size " << size << ": " << p.text;
        }
    }
}

}  // namespace
}  // namespace pf_test
