// podcastfeed validate: the folder's feed checked rule by rule.
#include <cstdio>

#include "command.h"
#include "feed_job.h"
#include "summary.h"

namespace podcastfeed {
namespace {

struct ValidateOptions {
    FolderOptions folder;
    bool json = false;
};

int run_validate(const ValidateOptions &o) {
    prepare_feed(o.folder);
    const char *report = feed_validate_report_json();
    const auto rules = read_report(report);
    if (rules.empty() || !rules.front().ok) library_failed("the feed could not be rendered");
    int passed = 0;
    for (const auto &r : rules) passed += r.ok;
    if (o.json) {
        std::puts(report);
    } else {
        std::printf("%-18s %-6s %s\n", "RULE", "RESULT", "DETAIL");
        for (const auto &r : rules) std::printf("%-18s %-6s %s\n", r.rule.c_str(), r.ok ? "pass" : "FAIL", r.detail.c_str());
        std::printf("%d of %zu rules passed\n", passed, rules.size());
    }
    if (passed == static_cast<int>(rules.size())) return kDone;
    std::fflush(stdout);
    std::fprintf(stderr, "podcastfeed: validation failed: %zu of %zu rules failed\n", rules.size() - static_cast<std::size_t>(passed),
                 rules.size());
    return kJobFailed;
}

}  // namespace

void add_validate_command(Program &p) {
    auto o = std::make_shared<ValidateOptions>();
    auto *cmd = p.app.add_subcommand("validate", "scan a folder and check its feed rule by rule");
    describe(*cmd, "Scans DIR and checks the rendered feed against every rule: a table of the rules, or with --json "
                     "the report as one JSON array. Exits 1 when a rule failed.");
    add_folder_options(*cmd, o->folder);
    cmd->add_flag("--json", o->json, "print the report JSON instead of the table");
    on_run(p, cmd, [o] { return run_validate(*o); });
}

}  // namespace podcastfeed
