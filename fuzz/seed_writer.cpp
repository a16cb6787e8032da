// Writes the seed corpora of the fuzz targets into <corpus folder>/<target>/:
// media files built byte by byte by the test builders, valid and borderline,
// and the texts the JSON and date readers meet in practice.
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "support/media_builders.h"

using namespace pf_test;

namespace {

struct Seed {
    const char *name;
    std::string bytes;
};

std::vector<Seed> iso_seeds() {
    return {
        {"audio.m4a", iso_file(44100, 441000, {"mp4a"}, 64)},
        {"video.mp4", iso_file(600, 3000, {"avc1", "mp4a"}, 32)},
        {"mvhd64.m4a", ftyp("M4A ") + box("moov", mvhd(1, 1000, 0x1'0000'0000ULL) + track("alac"))},
        {"large-box.m4a", ftyp() + box64("moov", mvhd(0, 1000, 5000) + track("mp4a")) + box("mdat", "")},
        {"empty-stsd.mov", ftyp("qt  ") + box("moov", mvhd(0, 600, 600) + box("trak", box("mdia",
                               mdhd(600, 600) + hdlr("vide") + box("minf", box("stbl", stsd_empty())))))},
        {"fragmented.mp4", ftyp("iso5") +
                               box("moov", mvhd(0, 1000, 0) + track("avc1", "vide", 1, 10240) +
                                               track("mp4a", "soun", 2, 44100) +
                                               box("mvex", mehd(0, 0) + trex(1, 1024) + trex(2, 1024))) +
                               box("moof", box("mfhd", std::string(8, '\0')) +
                                               box("traf", tfhd(1, 0x02000B, 512) + trun(0x205, 4)) +
                                               box("traf", tfhd(2, 0x020000) + trun(0xB01, 3, {1024, 1024, 2048}))) +
                               box("mdat", std::string(16, '\0'))},
    };
}

std::vector<Seed> mp3_seeds() {
    const MpegFrame cbr;
    MpegFrame half_rate;
    half_rate.version = mpeg2;
    half_rate.sample_rate_index = 1;
    half_rate.channel_mode = 3;
    MpegFrame layer_two;
    layer_two.layer = layer2;
    layer_two.padding = true;
    return {
        {"cbr.mp3", mpeg_frames(cbr, 8)},
        {"id3-tagged.mp3", id3v2_tag(4, 20, true) + mpeg_frames(cbr, 4) + id3v1_tag("Title")},
        {"xing.mp3", id3v2_tag(3, 10) + mpeg_info_frame(cbr, 1000, 417000, true) + mpeg_frames(cbr, 2)},
        {"mpeg2-mono.mp3", mpeg_frames(half_rate, 6)},
        {"layer2.mp3", mpeg_frames(layer_two, 5)},
    };
}

std::vector<Seed> wav_seeds() {
    return {
        {"pcm.wav", pcm_wav(2, 44100, 16, 4000)},
        {"extensible.wav", riff_wave(wav_fmt_extensible(1, 48000, 24) + wav_data(600))},
        {"odd-chunk.wav", riff_wave(wav_fmt(1, 1, 8000, 8) + chunk("LIST", "INFOx") + wav_data(801))},
        {"float.wav", riff_wave(wav_fmt(3, 2, 22050, 32) + wav_data(800))},
        {"data-first.wav", riff_wave(chunk_sized("data", 0xFFFFFFFFu, std::string(16, '\0')))},
    };
}

std::vector<Seed> episode_add_seeds() {
    return {
        {"full.json", R"({"file":"/media/show/one.mp3","title":"One & Two","description":"<b>bold</b>",)"
                      R"("image":"https://img.example.com/a.jpg","author":"Someone","episode":3,"season":1,)"
                      R"("block":0,"keywords":"a,b","pubDate":"Tue, 14 Nov 2023 22:13:20 GMT"})"},
        {"file-only.json", R"({"file":"C:\\shows\\two.m4a"})"},
        {"wrong-types.json", R"({"file":"x.mp3","title":7,"episode":"3","season":1e300,"block":-1.5})"},
        {"duplicates.json", R"({"file":"a.mp3","file":"b.mp3","title":"\u00e9\ud83d\ude00"})"},
        {"nested.json", R"({"file":"n.mp3","description":[[[[{"a":[1,2,{"b":null}]}]]]]})"},
    };
}

std::vector<Seed> scan_config_seeds() {
    return {
        {"all.json", R"({"playlist_name":"My Show","base_url":"https://cdn.example.com/x/","local_root":"/data/dist"})"},
        {"name-only.json", R"({"playlist_name":"Caf\u00e9 & <Friends>"})"},
        {"base-only.json", R"({"base_url":"http://h/a b/%41"})"},
        {"empty-object.json", "{}"},
        {"not-object.json", "[\"playlist_name\"]"},
    };
}

std::vector<Seed> sidecar_seeds() {
    return {
        {"both.json", R"({"thumbnail":"https://img.example.com/t.jpg","author":"Host Name"})"},
        {"empty-values.json", R"({"thumbnail":"","author":null})"},
        {"extra.json", R"({"title":"x","thumbnail":"a","thumbnail":"b","tags":[1,2,3]})"},
        {"truncated.json", R"({"thumbnail":"https://img.exa)"},
    };
}

std::vector<Seed> http_date_seeds() {
    return {
        {"full.txt", "Tue, 14 Nov 2023 22:13:20 GMT"},
        {"no-day.txt", "1 jan 1970"},
        {"no-time.txt", "Mon, 31 Dec 3000"},
        {"leap.txt", "29 Feb 2024 23:59:59"},
        {"bad-month.txt", "Fri, 13 Foo 2020 12:00:00 GMT"},
    };
}

void write_seeds(const std::filesystem::path &folder, const std::vector<Seed> &seeds) {
    std::filesystem::create_directories(folder);
    for (const Seed &s : seeds) {
        std::ofstream out(folder / s.name, std::ios::binary | std::ios::trunc);
        out.write(s.bytes.data(), static_cast<std::streamsize>(s.bytes.size()));
    }
}

}  // namespace

int main(int argc, char **argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <corpus folder>\n", argv[0]);
        return 2;
    }
    const std::filesystem::path corpus = argv[1];
    write_seeds(corpus / "probe_iso", iso_seeds());
    write_seeds(corpus / "probe_mp3", mp3_seeds());
    write_seeds(corpus / "probe_wav", wav_seeds());
    write_seeds(corpus / "episode_add", episode_add_seeds());
    write_seeds(corpus / "scan_config", scan_config_seeds());
    write_seeds(corpus / "sidecar", sidecar_seeds());
    write_seeds(corpus / "http_date", http_date_seeds());
    return 0;
}
