// Feed statistics: episode count, total media size, newest date, feed type
// and channel title, read from the tables without rendering.
#include <cstdint>
#include <cstdio>
#include <limits>
#include <new>
#include <string>

#include "channel/channel.h"
#include "checks/checks.h"
#include "core/dates.h"
#include "core/feed_state.h"
#include "core/platform.h"
#include "core/text.h"
#include "episodes/episodes.h"
#include "probe/media_types.h"
#include "quorvane_podcastfeed.h"

namespace pf {
namespace {

constexpr const char *kStatsFormat =
    "{\"episodes\":%d,\"total_bytes\":%lld,\"newest_pubDate\":\"%s\",\"feed_type\":\"%s\",\"title\":\"%s\"}";

// Sizes come from hosts and files; a sum beyond the 64-bit range stays at
// the limit instead of wrapping.
std::int64_t add_saturated(std::int64_t a, std::int64_t b) {
    std::int64_t sum;
    if (!__builtin_add_overflow(a, b, &sum)) return sum;
    return b > 0 ? std::numeric_limits<std::int64_t>::max() : std::numeric_limits<std::int64_t>::min();
}

std::int64_t total_bytes(const pf_episode_table &eps) {
    std::int64_t total = 0;
    for (int i = 0; i < eps.count; ++i) total = add_saturated(total, eps[i].size);
    return total;
}

const char *feed_type(const pf_episode_table &eps) {
    for (int i = 0; i < eps.count; ++i)
        if (is_video_name(eps[i].file)) return "video";
    return "audio";
}

void write_stats(char (&out)[kStatsJsonCapacity], const pf_episode_table &eps, const char *newest, const char *title) {
    std::snprintf(out, sizeof out, kStatsFormat, eps.count, static_cast<long long>(total_bytes(eps)), newest,
                  feed_type(eps), title);
}

const char *report_stats(pf_feed_state &st) {
    const char *title = channel_lookup(st.channel, "title");
    try {
        write_stats(st.out.stats_json, st.episodes, json_escape(newest_pub_date(st.episodes)).c_str(),
                    json_escape(view_of(title)).c_str());
    } catch (const std::bad_alloc &) {
        // The texts could not be escaped; the counts are still worth having.
        write_stats(st.out.stats_json, st.episodes, "", "");
    }
    return st.out.stats_json;
}

}  // namespace

const char *newest_pub_date(const pf_episode_table &eps) {
    const char *newest = "";
    std::int64_t newest_time = -1;
    for (int i = 0; i < eps.count; ++i) {
        std::int64_t t = 0;
        if (parse_http_date(eps[i].pubDate, &t) == 0 && t > newest_time) {
            newest_time = t;
            newest = eps[i].pubDate;
        }
    }
    return newest;
}

}  // namespace pf

extern "C" PF_API const char *feed_stats_json(void) { return pf::report_stats(pf::s_feed); }
