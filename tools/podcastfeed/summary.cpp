// What the folder commands print for people.
#include "summary.h"

#include <array>
#include <climits>
#include <cstdlib>

#include "json.h"
#include "quorvane_podcastfeed.h"

namespace podcastfeed {

std::string human_size(long long bytes) {
    static constexpr std::array<const char *, 4> kUnits = {"KiB", "MiB", "GiB", "TiB"};
    double scaled = static_cast<double>(bytes);
    int unit = -1;
    while (scaled >= 1024.0 && unit < 3) {
        scaled /= 1024.0;
        ++unit;
    }
    if (unit < 0) return std::to_string(bytes) + " bytes";
    char head[32];
    std::snprintf(head, sizeof head, "%.1f", scaled);
    return std::string(head) + " " + kUnits[static_cast<std::size_t>(unit)] + " (" + std::to_string(bytes) + " bytes)";
}

std::string play_time(long long seconds) {
    auto two = [](long long v) { return std::string(v < 10 ? "0" : "") + std::to_string(v); };
    if (seconds >= 3600) return std::to_string(seconds / 3600) + ":" + two(seconds / 60 % 60) + ":" + two(seconds % 60);
    return std::to_string(seconds / 60) + ":" + two(seconds % 60);
}

long long total_play_time() {
    long long total = 0;
    for (int i = 0; i < feed_episode_count(); ++i) {
        const char *text = feed_episode_field(i, "duration_s");
        const long long seconds = text ? std::strtoll(text, nullptr, 10) : 0;
        if (seconds > 0) total = seconds > LLONG_MAX - total ? LLONG_MAX : total + seconds;
    }
    return total;
}

void print_row(std::FILE *to, const std::string &label, const std::string &value) {
    std::fprintf(to, "  %-16s %s\n", label.c_str(), value.c_str());
}

void print_stats(std::FILE *to, const char *stats_json) {
    JsonDoc stats;
    if (!json_parse(stats_json, &stats) || !stats.IsObject()) return;
    print_row(to, "episodes", std::to_string(json_whole(stats, "episodes")));
    print_row(to, "total size", human_size(json_whole(stats, "total_bytes")));
    print_row(to, "total play time", play_time(total_play_time()));
    print_row(to, "feed type", json_text(stats, "feed_type").value_or(""));
    if (auto newest = json_text(stats, "newest_pubDate"); newest && !newest->empty()) print_row(to, "newest pubDate", *newest);
    if (auto title = json_text(stats, "title")) print_row(to, "title", *title);
}

std::vector<RuleOutcome> read_report(const char *report_json) {
    std::vector<RuleOutcome> out;
    JsonDoc report;
    if (!json_parse(report_json, &report) || !report.IsArray()) return out;
    for (const auto &r : report.GetArray()) {
        const JsonValue *ok = json_member(r, "ok");
        out.push_back({json_text(r, "rule").value_or(""), json_text(r, "detail").value_or(""), ok && ok->IsTrue()});
    }
    return out;
}

}  // namespace podcastfeed
