// Feed statistics: episode count, total media size, newest date, feed type
// and channel title, read from the tables without rendering.
#include <cstdint>
#include <limits>
#include <string_view>

#include "channel/channel.h"
#include "checks/checks.h"
#include "core/dates.h"
#include "core/json.h"
#include "core/platform.h"
#include "core/text.h"
#include "episodes/episodes.h"
#include "probe/media_types.h"
#include "quorvane_podcastfeed.h"

namespace pf {
namespace {

// Room for a channel title of 4095 bytes even when every byte is escaped
// six-fold, so the object is never cut into invalid JSON.
char s_out[32768];

// Sizes come from hosts and files; a sum beyond the 64-bit range stays at
// the limit instead of wrapping.
std::int64_t add_saturated(std::int64_t a, std::int64_t b) {
    std::int64_t sum;
    if (!__builtin_add_overflow(a, b, &sum)) return sum;
    return b > 0 ? std::numeric_limits<std::int64_t>::max() : std::numeric_limits<std::int64_t>::min();
}

std::int64_t total_bytes() {
    std::int64_t total = 0;
    for (int i = 0; i < s_ep_n; ++i) total = add_saturated(total, s_eps[i].size);
    return total;
}

const char *feed_type() {
    for (int i = 0; i < s_ep_n; ++i)
        if (is_video_name(s_eps[i].file)) return "video";
    return "audio";
}

bool write_stats(JsonWriter &writer, std::string_view newest, std::string_view title) {
    return writer.StartObject() && writer.Key("episodes") && writer.Int(s_ep_n) && writer.Key("total_bytes") &&
           writer.Int64(total_bytes()) && writer.Key("newest_pubDate") && json_repaired_string(writer, newest) &&
           writer.Key("feed_type") && writer.String(feed_type()) && writer.Key("title") &&
           json_repaired_string(writer, title) && writer.EndObject();
}

}  // namespace

const char *newest_pub_date() {
    const char *newest = "";
    std::int64_t newest_time = -1;
    for (int i = 0; i < s_ep_n; ++i) {
        std::int64_t t = 0;
        if (parse_http_date(s_eps[i].pubDate, &t) == 0 && t > newest_time) {
            newest_time = t;
            newest = s_eps[i].pubDate;
        }
    }
    return newest;
}

}  // namespace pf

extern "C" PF_API const char *feed_stats_json(void) {
    using namespace pf;
    const std::string_view newest = newest_pub_date(), title = view_of(channel_lookup("title"));
    auto whole = [&](JsonWriter &writer) { return write_stats(writer, newest, title); };
    // When the texts cannot be had the counts are still worth having.
    auto counts = [](JsonWriter &writer) { return write_stats(writer, "", ""); };
    if (!write_json_result(s_out, "{}", whole)) write_json_result(s_out, "{}", counts);
    return s_out;
}
