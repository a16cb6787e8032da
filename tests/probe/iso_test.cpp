// ISO base media files: box headers, the movie header, the codec of the last
// track, and files whose box sizes lie.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <string>

#include "core/platform.h"
#include "probe/readers.h"
#include "probe_support.h"
#include "support/media_builders.h"

namespace pf_test {
namespace {

const std::string kNoMovie = "no mvhd/moov found (not an ISO media file?)";

std::string moov(const std::string &children) { return box("moov", children); }

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
    TempDir dir;
    for (const auto &c : cases) {
        const std::string path = dir.file("box.bin");
        write_file(path, filler + c.bytes);
        pf::File f = pf::open_for_read(path.c_str());
        ASSERT_TRUE(f);
        pf::pf_box b;
        EXPECT_EQ(pf::pf_box_header(f.get(), 100, c.end, &b), c.read) << c.what;
        if (c.read != pf::BoxRead::ok) continue;
        EXPECT_EQ(b.next, c.next) << c.what;
        EXPECT_EQ(b.header_len, c.header_len) << c.what;
    }
}

TEST(IsoProbe, MovieHeaderGivesTheDuration) {
    TempDir dir;
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
        const Probed p = probe_bytes(dir, "a.m4a", c.bytes);
        EXPECT_EQ(p.error, "") << c.what;
        EXPECT_EQ(p.duration_s, c.duration_s) << c.what << ": " << p.text;
    }
}

TEST(IsoProbe, CodecComesFromTheTableOfSampleEntryTypes) {
    TempDir dir;
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
        const Probed p = probe_bytes(dir, "a.mp4", iso_file(1000, 3000, {c.type}));
        EXPECT_EQ(p.codec, c.codec) << c.type;
    }
}

TEST(IsoProbe, LastTrackThatReadsItsEntryDecides) {
    TempDir dir;
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
        const Probed p = probe_bytes(dir, "a.mov", c.bytes);
        EXPECT_EQ(p.codec, c.codec) << c.what << ": " << p.text;
    }
}

// Files with chapters end with a text track, and movies may carry subtitle
// or timecode tracks: only sound and picture tracks name the codec.
TEST(IsoProbe, TracksWithoutSoundOrPictureLeaveTheCodecToTheOthers) {
    TempDir dir;
    const auto movie = [](const std::string &tracks) { return ftyp() + moov(mvhd(0, 1000, 1000) + tracks); };
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
    };
    for (const auto &c : cases) {
        const Probed p = probe_bytes(dir, "a.m4a", c.bytes);
        EXPECT_EQ(p.error, "") << c.what;
        EXPECT_EQ(p.codec, c.codec) << c.what << ": " << p.text;
    }
}

// Each file below lies about its sizes; the walk must end, stay in the file
// and give the stated answer (the sanitizer run checks the reads).
TEST(IsoProbe, HostileSizesEndTheWalk) {
    TempDir dir;
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
        const Probed p = probe_bytes(dir, "a.mp4", c.bytes);
        EXPECT_EQ(p.error, c.error) << c.what << ": " << p.text;
        if (*c.error == '\0') {
            EXPECT_EQ(p.codec, c.codec) << c.what;
        }
    }
}

// Boxes of 2 to 7 bytes make the next header start inside their own; every
// such size, at every level, must still end the walk.
TEST(IsoProbe, TinyBoxSizesAtEveryLevelTerminate) {
    TempDir dir;
    for (std::uint32_t size = 0; size < 8; ++size) {
        const std::string tiny = box_sized("free", size, std::string(8, '\x01'));
        const std::string layouts[] = {
            tiny + ftyp() + moov(mvhd(0, 1, 1)),
            ftyp() + moov(tiny + mvhd(0, 1, 1)),
            ftyp() + moov(mvhd(0, 1, 1) + box("trak", tiny + box("mdia", tiny + box("minf", tiny)))),
            ftyp() + moov(mvhd(0, 1, 1) + box("trak", box("mdia", box("minf", box("stbl", tiny + stsd("mp4a")))))),
        };
        for (const std::string &bytes : layouts) {
            const Probed p = probe_bytes(dir, "a.mp4", bytes);
            EXPECT_TRUE(p.error.empty() || p.error == kNoMovie) << "size " << size << ": " << p.text;
        }
    }
}

}  // namespace
}  // namespace pf_test
