// podcastfeed scan: the folder's feed written, then summarised on standard error.
#include <cstdio>

#include "command.h"
#include "feed_job.h"
#include "findings.h"
#include "output.h"
#include "summary.h"

namespace podcastfeed {
namespace {

struct ScanOptions {
    FolderOptions folder;
    std::string output;
    bool quiet = false;
};

void print_summary(const Feed &feed, const std::string &output) {
    const char *report = feed_validate_report_json();
    std::fprintf(stderr, "Scanned %s: feed written to %s\n", feed.folder.c_str(),
                 is_stdout(output) ? "standard output" : output.c_str());
    print_stats(stderr, feed_stats_json());
    const auto rules = read_report(report);
    int passed = 0;
    for (const auto &r : rules) passed += r.ok;
    print_row(stderr, "rules passed", std::to_string(passed) + " of " + std::to_string(rules.size()));
    for (const auto &r : rules)
        if (!r.ok) print_row(stderr, "failed rule", r.rule + ": " + r.detail);
    for (const auto &file : feed.skipped) print_row(stderr, "left out", file_name(file) + " (cannot be probed)");
    print_findings(stderr, ready_to_publish(feed));
}

int run_scan(const ScanOptions &o) {
    const Feed feed = prepare_feed(o.folder);
    write_feed(o.output);
    if (!o.quiet) print_summary(feed, o.output);
    return kDone;
}

}  // namespace

void add_scan_command(Program &p) {
    auto o = std::make_shared<ScanOptions>();
    auto *cmd = p.app.add_subcommand("scan", "scan a folder, write its feed and summarise it");
    describe(*cmd,
        "Scans the media files of DIR (.mp3 .m4a .mp4) into a feed and writes the RSS document to FILE, or to "
        "standard output. Then prints a summary and the ready-to-publish findings of check on standard error. "
        "A failed rule or finding shows in the summary but does not fail the command; use validate or check "
        "for a status that does.");
    add_folder_options(*cmd, o->folder);
    add_output_option(*cmd, o->output, "write the feed to FILE (replaced whole, or left as it was when writing fails); - is standard output");
    cmd->add_flag("-q,--quiet", o->quiet, "print no summary and no findings");
    on_run(p, cmd, [o] { return run_scan(*o); });
}

}  // namespace podcastfeed
