// Feed statistics: episode count, total media size, newest date, feed type
// and channel title, read from the tables without rendering.
#include <cstdint>
#include <limits>
#include <string_view>

#include "channel/channel.h"
#include "checks/checks.h"
#include "core/dates.h"
#include "core/feed_state.h"
#include "core/json.h"
#include "core/platform.h"
#include "core/text.h"
#include "episodes/episodes.h"
#include "probe/media_types.h"
#include "quorvane_podcastfeed.h"

namespace pf {
namespace {

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
        if (is_video_name(eps[i].file.c_str())) return "video";
    return "audio";
}

bool write_stats(JsonWriter &writer, const pf_episode_table &eps, std::string_view newest, std::string_view title) {
    return writer.StartObject() && writer.Key("episodes") && writer.Int(eps.count) && writer.Key("total_bytes") &&
           writer.Int64(total_bytes(eps)) && writer.Key("newest_pubDate") && json_repaired_string(writer, newest) &&
           writer.Key("feed_type") && writer.String(feed_type(eps)) && writer.Key("title") &&
           json_repaired_string(writer, title) && writer.EndObject();
}

const char *report_stats(pf_feed_state &st) {
    const std::string_view newest = newest_pub_date(st.episodes), title = view_of(channel_lookup(st.channel, "title"));
    auto whole = [&](JsonWriter &writer) { return write_stats(writer, st.episodes, newest, title); };
    // When the texts cannot be had the counts are still worth having.
    auto counts = [&](JsonWriter &writer) { return write_stats(writer, st.episodes, "", ""); };
    if (!write_json_result(st.out.stats_json, "{}", whole)) write_json_result(st.out.stats_json, "{}", counts);
    return st.out.stats_json;
}

}  // namespace

const char *newest_pub_date(const pf_episode_table &eps) {
    const char *newest = "";
    std::int64_t newest_time = -1;
    for (int i = 0; i < eps.count; ++i) {
        std::int64_t t = 0;
        if (parse_http_date(eps[i].pubDate.c_str(), &t) == 0 && t > newest_time) {
            newest_time = t;
            newest = eps[i].pubDate.c_str();
        }
    }
    return newest;
}

}  // namespace pf

extern "C" PF_API const char *feed_stats_json(void) { return pf::report_stats(pf::s_feed); }
