// podcastfeed probe: the technical facts of media files, one JSON line each.
#include <cstdio>

#include "command.h"
#include "json.h"
#include "quorvane_podcastfeed.h"

namespace podcastfeed {
namespace {

// The library's result with the file it describes first.
std::string probe_line(const std::string &file, bool *failed) {
    JsonDoc result;
    const char *text = media_probe(file.c_str());
    if (!json_parse(text, &result) || !result.IsObject()) job_failed("media_probe gave no JSON for " + file);
    *failed = json_member(result, "error") != nullptr;
    rapidjson::StringBuffer out;
    JsonWriter w(out);
    w.StartObject();
    w.Key("file");
    json_put_text(w, file);
    for (auto m = result.MemberBegin(); m != result.MemberEnd(); ++m) {
        w.Key(m->name.GetString(), m->name.GetStringLength());
        m->value.Accept(w);
    }
    w.EndObject();
    return std::string(out.GetString(), out.GetSize());
}

int run_probe(const std::vector<std::string> &files) {
    int status = kDone;
    for (const auto &file : files) {
        bool failed = false;
        std::puts(probe_line(file, &failed).c_str());
        if (failed) status = kJobFailed;
    }
    return status;
}

}  // namespace

void add_probe_command(Program &p) {
    auto files = std::make_shared<std::vector<std::string>>();
    auto *cmd = p.app.add_subcommand("probe", "print the technical facts of media files");
    describe(*cmd, "Probes each FILE (.mp4 .m4a .m4v .mov .mp3 .wav .wave) and prints one JSON object per line: "
                     "file, then duration_s, size, mime, bitrate_kbps and codec, or error. Exits 1 when any file "
                     "could not be probed.");
    cmd->add_option("FILE", *files, "media files")->required();
    on_run(p, cmd, [files] { return run_probe(*files); });
}

}  // namespace podcastfeed
