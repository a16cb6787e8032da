// The show page: the library's channel and episodes poured into the page
// template that is compiled into the command.
#include "show_page.h"

#include <chrono>
#include <cstdint>

#include <kainjow/mustache.hpp>

#include "../command.h"
#include "../dates.h"
#include "../json.h"
#include "../urls.h"
#include "show_page_template.h"

namespace podcastfeed {
namespace {

namespace mustache = kainjow::mustache;

// Every optional value is set, to false when there is none: a name missing
// from an episode would otherwise be looked up in the show around it, and an
// episode without an author would show the channel's.
void set_optional(mustache::data &d, const std::string &name, const std::string &value) {
    if (value.empty()) d.set(name, mustache::data::type::bool_false);
    else d.set(name, value);
}

// "2024-01-02": the day in UTC, the same for every reader of the page and a
// valid datetime for <time>.
std::string calendar_date(std::int64_t seconds) {
    using namespace std::chrono;
    const year_month_day ymd{floor<days>(sys_seconds{std::chrono::seconds{seconds}})};
    auto two = [](unsigned v) { return std::string(v < 10 ? "0" : "") + std::to_string(v); };
    return std::to_string(static_cast<int>(ymd.year())) + "-" + two(static_cast<unsigned>(ymd.month())) + "-" +
           two(static_cast<unsigned>(ymd.day()));
}

mustache::data episode_data(int index) {
    mustache::data e;
    e.set("title", field(index, "title"));
    const std::string date = field(index, "pubDate");
    const auto when = parse_pub_date(date);
    set_optional(e, "date", when ? calendar_date(*when) : "");
    set_optional(e, "undated", when ? "" : date);
    set_optional(e, "duration", field(index, "duration_s") == "0" ? "" : field(index, "duration"));
    set_optional(e, "image", field(index, "image"));
    set_optional(e, "author", field(index, "author"));
    e.set("url", field(index, "url"));
    const bool video = field(index, "mime").starts_with("video/");
    e.set("video", video ? mustache::data::type::bool_true : mustache::data::type::bool_false);
    return e;
}

// The link the app that registered podcast:// subscribes with: the feed's
// address with that scheme in place of its own.
std::string podcast_scheme_url(const std::string &feed_url) {
    const std::string scheme = url_scheme(feed_url);
    return "podcast://" + (scheme.empty() ? feed_url : feed_url.substr(scheme.size() + 3));
}

}  // namespace

std::string show_page_html(const Feed &feed) {
    JsonDoc channel;
    if (!json_parse(feed_channel_json(), &channel) || !channel.IsObject()) channel.SetObject();
    auto channel_text = [&channel](const char *key) { return json_text(channel, key).value_or(""); };

    mustache::data page;
    page.set("language", channel_text("language"));
    page.set("show_title", channel_text("title"));
    set_optional(page, "show_author", channel_text("author"));
    set_optional(page, "show_description", channel_text("description"));
    set_optional(page, "artwork", channel_text("artwork"));
    page.set("feed_url", feed.feed_url);
    page.set("podcast_url", podcast_scheme_url(feed.feed_url));

    mustache::data episodes{mustache::data::type::list};
    for (int i = 0; i < feed_episode_count(); ++i) episodes.push_back(episode_data(i));
    page.set("episodes", episodes);

    mustache::mustache tmpl{kShowPageTemplate};
    if (!tmpl.is_valid()) job_failed("the show page template is broken: " + tmpl.error_message());
    return tmpl.render(page);
}

}  // namespace podcastfeed
