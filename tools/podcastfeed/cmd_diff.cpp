// podcastfeed diff: the folder's feed against one published earlier.
#include <array>
#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <fstream>

#include "command.h"
#include "feed_job.h"
#include "json.h"
#include "summary.h"

namespace podcastfeed {
namespace {

namespace fs = std::filesystem;

struct DiffOptions {
    FolderOptions folder;
    std::string old_feed;
    bool json = false;
};

// An RSS document names its root element near its start; anything else
// compared as a feed would count every episode as added.
void require_rss(const std::string &path) {
    std::error_code ec;
    if (fs::is_directory(path, ec)) usage_error(path + " is a folder; give the feed file published earlier");
    std::ifstream in(path, std::ios::binary);
    if (!in) job_failed("cannot read " + path + ": " + system_reason(errno));
    std::string head(64 * 1024, '\0');
    in.read(head.data(), static_cast<std::streamsize>(head.size()));
    if (in.bad()) job_failed("cannot read " + path);
    head.resize(static_cast<std::size_t>(in.gcount()));
    if (head.find("<rss") == std::string::npos) usage_error(path + " is not an RSS feed (no <rss> element at its start)");
}

int run_diff(const DiffOptions &o) {
    require_rss(o.old_feed);
    prepare_feed(o.folder);
    const char *diff = feed_diff(o.old_feed.c_str());
    if (!diff[0]) library_failed("feed_diff failed");
    if (o.json) {
        std::puts(diff);
        return kDone;
    }
    JsonDoc counts;
    if (!json_parse(diff, &counts)) job_failed("feed_diff gave no JSON");
    for (const char *name : {"added", "removed", "changed", "unchanged"}) print_row(stdout, name, std::to_string(json_whole(counts, name)));
    if (auto newest = json_text(counts, "newest_pubDate"); newest && !newest->empty()) print_row(stdout, "newest pubDate", *newest);
    return kDone;
}

}  // namespace

void add_diff_command(Program &p) {
    auto o = std::make_shared<DiffOptions>();
    auto *cmd = p.app.add_subcommand("diff", "compare a folder with a feed published earlier");
    describe(*cmd, "Scans DIR and compares its episodes, by GUID, with the items of the feed file OLD_FEED: how many "
                     "were added, removed, changed and left unchanged. Use the same settings as when OLD_FEED was "
                     "made (podcast.json keeps them), so that GUIDs and URLs are derived alike.");
    add_folder_options(*cmd, o->folder);
    cmd->add_option("OLD_FEED", o->old_feed, "the feed file published earlier")->required();
    cmd->add_flag("--json", o->json, "print the comparison JSON instead of the table");
    on_run(p, cmd, [o] { return run_diff(*o); });
}

}  // namespace podcastfeed
