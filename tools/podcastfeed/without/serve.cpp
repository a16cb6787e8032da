// This build has no HTTP server library: serve says so instead of serving.
#include "../command.h"

namespace podcastfeed {

void add_serve_command(Program &p) {
    auto *cmd = p.app.add_subcommand("serve", "serve the folder's feed and media over HTTP (not in this build)");
    cmd->allow_extras();
    on_run(p, cmd, []() -> int { job_failed("serve is not part of this build: it was made without an HTTP server library"); });
}

}  // namespace podcastfeed
