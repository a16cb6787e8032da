// podcastfeed init: a podcast.json holding what a scan would use today, so
// that the GUIDs are pinned from the first publication on.
#include <filesystem>
#include <fstream>

#include "command.h"
#include "feed_job.h"
#include "json.h"
#include "output.h"

namespace podcastfeed {
namespace {

namespace fs = std::filesystem;

// GUIDs the library derives are its prefix, "/" and the file name; the
// prefix of the folder's own episodes pins them.
std::string guid_prefix_in_use(const Feed &feed) {
    for (int i = 0; i < feed_episode_count(); ++i) {
        const std::string guid = field(i, "guid"), name = "/" + file_name(field(i, "file"));
        if (guid.ends_with(name)) return guid.substr(0, guid.size() - name.size());
    }
    std::string prefix = feed.folder;
    while (prefix.starts_with('/')) prefix.erase(0, 1);
    return prefix;
}

int run_init(const FolderOptions &o) {
    const std::string folder = canonical_folder(o.dir);
    const fs::path target = fs::path(folder) / kConfigName;
    std::error_code ec;
    if (fs::exists(target, ec)) job_failed(target.string() + " exists already; edit it, or remove it first");
    const Feed feed = prepare_feed(o);
    Settings s = feed.settings;
    JsonDoc channel;
    if (json_parse(feed_channel_json(), &channel))
        for (const auto &d : kSettings)
            if (d.channel_key && !s[d.id] && d.id != kArtwork)
                if (auto v = json_text(channel, d.channel_key)) s[d.id] = *v;
    if (!s[kBaseUrl]) s[kBaseUrl] = feed.base_url;
    if (!s[kGuidPrefix]) s[kGuidPrefix] = guid_prefix_in_use(feed);
    if (!s[kOrder]) s[kOrder] = "name";
    s[kLocalRoot].reset();  // the base URL above is the folder's own
    write_text(target.string(), settings_json(s));
    std::printf("wrote %s\n", target.string().c_str());
    return kDone;
}

}  // namespace

void add_init_command(Program &p) {
    auto o = std::make_shared<FolderOptions>();
    auto *cmd = p.app.add_subcommand("init", "write the folder's podcast.json, filled with what a scan uses now");
    describe(*cmd, "Writes DIR/podcast.json with the channel details, base URL, GUID prefix and order a scan of DIR "
                     "would use now (options given here go in too), so that the episodes' GUIDs stay the same from "
                     "the first publication on. Refuses to overwrite an existing podcast.json.");
    add_folder_options(*cmd, *o, false);
    on_run(p, cmd, [o] { return run_init(*o); });
}

}  // namespace podcastfeed
