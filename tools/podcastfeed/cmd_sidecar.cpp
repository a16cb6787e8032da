// podcastfeed sidecar: the metadata file beside a media file, read or merged.
#include <cstdio>
#include <filesystem>

#include "command.h"
#include "json.h"
#include "quorvane_podcastfeed.h"

namespace podcastfeed {
namespace {

namespace fs = std::filesystem;

struct SidecarOptions {
    std::string media, json;
    bool replace = false;
};

int run_get(const SidecarOptions &o) {
    const char *stored = feed_sidecar_read(o.media.c_str());
    if (stored[0]) {
        std::puts(stored);
        return kDone;
    }
    // A missing sidecar leaves the last error as it was, and nothing before
    // this call could have set it.
    if (feed_last_error()[0]) library_failed("feed_sidecar_read failed");
    job_failed("no sidecar beside " + o.media);
}

// The stored members, each given member replacing its namesake or joining
// at the end.
std::string merged_sidecar(const std::string &media, const std::string &given) {
    JsonDoc update;
    if (!json_parse(given, &update) || !update.IsObject()) usage_error("set: JSON must be an object");
    const char *stored = feed_sidecar_read(media.c_str());
    if (!stored[0]) return given;
    JsonDoc doc;
    if (!json_parse(stored, &doc) || !doc.IsObject())
        job_failed("the sidecar beside " + media + " is not a JSON object; use --replace to overwrite it");
    auto &a = doc.GetAllocator();
    for (auto m = update.MemberBegin(); m != update.MemberEnd(); ++m) {
        JsonValue value(m->value, a);
        auto it = doc.FindMember(m->name);
        if (it != doc.MemberEnd()) it->value = value;
        else doc.AddMember(JsonValue(m->name, a), value, a);
    }
    return json_compact(doc);
}

int run_set(const SidecarOptions &o) {
    std::error_code ec;
    if (!fs::is_regular_file(o.media, ec)) job_failed("no media file " + o.media);
    const std::string text = o.replace ? o.json : merged_sidecar(o.media, o.json);
    errno = 0;
    if (feed_sidecar_write(o.media.c_str(), text.c_str()) != 0) library_failed("feed_sidecar_write failed", errno);
    return kDone;
}

}  // namespace

void add_sidecar_command(Program &p) {
    auto o = std::make_shared<SidecarOptions>();
    auto *cmd = p.app.add_subcommand("sidecar", "read or write the metadata file beside a media file");
    describe(*cmd, "The sidecar of a media file is the .json file named like it. \"thumbnail\" and \"author\" become "
                     "the episode's image and author, \"title\", \"pubDate\" (RFC 1123 or ISO 8601) and \"guid\" its "
                     "title, date and GUID; other members are kept but unused.");
    cmd->require_subcommand(1);
    auto *get = cmd->add_subcommand("get", "print the sidecar of MEDIA as stored");
    get->add_option("MEDIA", o->media, "the media file")->required();
    on_run(p, get, [o] { return run_get(*o); });
    auto *set = cmd->add_subcommand("set", "merge JSON members into the sidecar of MEDIA");
    set->add_option("MEDIA", o->media, "the media file (it must exist)")->required();
    set->add_option("JSON", o->json, "a JSON object")->required();
    set->add_flag("--replace", o->replace, "replace the whole sidecar instead of merging into it");
    on_run(p, set, [o] { return run_set(*o); });
}

}  // namespace podcastfeed
