// What the folder commands print for people: sizes, play time, the statistics
// table and the validation report read from the library's JSON.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

namespace podcastfeed {

std::string human_size(long long bytes);
std::string play_time(long long seconds);

// The sum of the episodes' durations, saturating: durations come from
// untrusted files.
long long total_play_time();

// A label and its value, aligned like every table the command prints.
void print_row(std::FILE *to, const std::string &label, const std::string &value);

// The statistics of the current feed as a table.
void print_stats(std::FILE *to, const char *stats_json);

struct RuleOutcome {
    std::string rule, detail;
    bool ok;
};

// The report's rules; the first fails only when no document could be rendered.
std::vector<RuleOutcome> read_report(const char *report_json);

}  // namespace podcastfeed
