// Reading an episode's fields as text: texts in place, numbers through the
// record's own scratch texts, with the enclosure URL and GUID derived first.
#include <cinttypes>
#include <cstdio>
#include <span>
#include <string_view>

#include "core/dates.h"
#include "core/error.h"
#include "episodes/episodes.h"
#include "quorvane_podcastfeed.h"

namespace pf {

namespace {

constexpr pf_text_field kTextFields[] = {
    {"file", true, [](pf_episode &e) -> std::span<char> { return e.file; }},
    {"title", true, [](pf_episode &e) -> std::span<char> { return e.title; }},
    {"description", true, [](pf_episode &e) -> std::span<char> { return e.description; }},
    {"image", true, [](pf_episode &e) -> std::span<char> { return e.image; }},
    {"author", true, [](pf_episode &e) -> std::span<char> { return e.author; }},
    {"keywords", true, [](pf_episode &e) -> std::span<char> { return e.keywords; }},
    {"pubDate", true, [](pf_episode &e) -> std::span<char> { return e.pubDate; }},
    {"url", true, [](pf_episode &e) -> std::span<char> { return e.url; }},
    {"guid", true, [](pf_episode &e) -> std::span<char> { return e.guid; }},
    // Technical facts come from the file itself, never from the host.
    {"mime", false, [](pf_episode &e) -> std::span<char> { return e.mime; }},
    {"codec", false, [](pf_episode &e) -> std::span<char> { return e.codec; }},
};

// Numbers are answered from scratch texts, one per number, so the text of
// one stays readable while the host asks for another.
struct NumberField {
    const char *name;
    char *(*scratch)(pf_episode &e);
};

constexpr NumberField kNumberFields[] = {
    {"duration", [](pf_episode &e) -> char * { return e.duration; }},
    {"duration_s", [](pf_episode &e) -> char * { return e.duration_s_text; }},
    {"size", [](pf_episode &e) -> char * { return e.size_text; }},
    {"bitrate_kbps", [](pf_episode &e) -> char * { return e.bitrate_kbps_text; }},
    {"episode", [](pf_episode &e) -> char * { return e.episode_text; }},
    {"season", [](pf_episode &e) -> char * { return e.season_text; }},
    {"block", [](pf_episode &e) -> char * { return e.block_text; }},
};

// Every answer is a C text the host may keep, so an unknown name gets one
// that never changes.
const char kUnknownField[] = "";

void refresh_number_texts(pf_episode &e) {
    fmt_duration_local(e.duration_s, e.duration);
    std::snprintf(e.duration_s_text, sizeof e.duration_s_text, "%" PRId64, e.duration_s);
    std::snprintf(e.size_text, sizeof e.size_text, "%" PRId64, e.size);
    std::snprintf(e.bitrate_kbps_text, sizeof e.bitrate_kbps_text, "%" PRId32, e.bitrate_kbps);
    std::snprintf(e.episode_text, sizeof e.episode_text, "%" PRId32, e.episode);
    std::snprintf(e.season_text, sizeof e.season_text, "%" PRId32, e.season);
    std::snprintf(e.block_text, sizeof e.block_text, "%" PRId32, e.block);
}

const char *field_text(pf_episode &e, std::string_view name) {
    if (const pf_text_field *text = find_text_field(name)) return text->of(e).data();
    for (const NumberField &number : kNumberFields)
        if (name == number.name) return number.scratch(e);
    return kUnknownField;
}

}  // namespace

const pf_text_field *find_text_field(std::string_view name) {
    for (const pf_text_field &field : kTextFields)
        if (name == field.name) return &field;
    return nullptr;
}

}  // namespace pf

extern "C" PF_API const char *feed_episode_field(int index, const char *field) {
    using namespace pf;
    if (index < 0 || index >= s_ep_n) {
        set_err("feed_episode_field: index %d out of range", index);
        return nullptr;
    }
    if (!field) {
        set_err("feed_episode_field: NULL field");
        return nullptr;
    }
    pf_episode &e = s_eps[index];
    refresh_number_texts(e);
    // The host sees the URL and GUID the feed would carry, whatever it asks for.
    ep_derive_urls(e);
    return field_text(e, field);
}
