// podcastfeed check: the ready-to-publish report.
#include <cstdio>

#include "command.h"
#include "feed_job.h"
#include "findings.h"

namespace podcastfeed {
namespace {

struct CheckOptions {
    FolderOptions folder;
    bool strict = false;
};

int run_check(const CheckOptions &o) {
    const Feed feed = prepare_feed(o.folder);
    const Tally t = print_findings(stdout, ready_to_publish(feed));
    std::printf("%d error(s), %d warning(s): %s\n", t.errors, t.warnings,
                t.errors || (o.strict && t.warnings) ? "not ready to publish" : "ready to publish");
    return t.errors || (o.strict && t.warnings) ? kJobFailed : kDone;
}

}  // namespace

void add_check_command(Program &p) {
    auto o = std::make_shared<CheckOptions>();
    auto *cmd = p.app.add_subcommand("check", "report what stands between a folder and publishing it");
    describe(*cmd,
        "Scans DIR as scan does and prints one line per finding, naming the file or setting. Errors: episodes "
        "that cannot be read or last 0:00, a base URL that is not public http(s), the placeholder artwork, no "
        "episode. Warnings: channel details left at the scan's defaults, files changed in the last minute, "
        "macOS ._ companions, files past the episode limit, media types and sub-folders the scan leaves out, "
        "artwork that is not square or not 1400 to 3000 pixels. Exits 1 on any error.");
    add_folder_options(*cmd, o->folder);
    cmd->add_flag("--strict", o->strict, "count warnings as errors");
    on_run(p, cmd, [o] { return run_check(*o); });
}

}  // namespace podcastfeed
