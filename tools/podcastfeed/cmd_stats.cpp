// podcastfeed stats: the folder's feed summarised.
#include <cstdio>

#include "command.h"
#include "feed_job.h"
#include "summary.h"

namespace podcastfeed {
namespace {

struct StatsOptions {
    FolderOptions folder;
    bool json = false;
};

int run_stats(const StatsOptions &o) {
    prepare_feed(o.folder);
    const char *stats = feed_stats_json();
    if (o.json) std::puts(stats);
    else print_stats(stdout, stats);
    return kDone;
}

}  // namespace

void add_stats_command(Program &p) {
    auto o = std::make_shared<StatsOptions>();
    auto *cmd = p.app.add_subcommand("stats", "scan a folder and summarise its feed");
    describe(*cmd, "Scans DIR and prints the feed's statistics: episodes, total size, play time, feed type, newest "
                     "publication date and title.");
    add_folder_options(*cmd, o->folder);
    cmd->add_flag("--json", o->json, "print the statistics JSON instead of the table");
    on_run(p, cmd, [o] { return run_stats(*o); });
}

}  // namespace podcastfeed
