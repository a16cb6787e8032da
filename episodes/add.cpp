// Adding one episode from the host's JSON object, completed with the size and
// probed facts of its media file when that file exists.
#include <cstdint>
#include <new>
#include <optional>
#include <span>
#include <string_view>

#include "core/error.h"
#include "core/feed_state.h"
#include "core/json.h"
#include "core/platform.h"
#include "core/text.h"
#include "episodes/episodes.h"
#include "probe/probe.h"
#include "quorvane_podcastfeed.h"

namespace pf {

namespace {

// A string member as a C text would hold it: an escaped NUL ends it.
std::optional<std::string_view> text_member(const JsonValue &obj, const char *name) {
    std::optional<std::string_view> text = json_string(obj, name);
    if (text) *text = text->substr(0, text->find('\0'));
    return text;
}

void copy_host_members(pf_episode &e, const JsonValue &obj) {
    for (const pf_field &field : PF_EPISODE_FIELDS) {
        if (!field.host_adds) continue;
        if (field.kind == FieldKind::int32) {
            if (const std::optional<std::int32_t> number = json_int32(obj, field.name)) e.*field.int32 = *number;
        } else if (const std::optional<std::string_view> text = text_member(obj, field.name)) {
            field.assign(e, *text);
        }
    }
}

// A missing or unreadable file is no failure: the episode keeps what the
// host gave, with size 0 and no probed facts.
void copy_file_facts(pf_episode &e) {
    FileStatus status;
    if (file_status(e.file.c_str(), &status) != 0) return;
    const pf_media_facts facts = probe_media(e.file.c_str(), &status);
    if (facts.found) {
        e.duration_s = facts.duration_s;
        e.mime.assign(facts.mime);
        e.codec.assign(facts.codec);
        e.bitrate_kbps = facts.bitrate_kbps;
    }
    e.size = status.size;
}

int add_episode(pf_episode_table &eps, const char *json) {
    if (!json || !*json) return fail("feed_episode_add: NULL json");
    JsonDoc doc;
    if (!json_parse(json, &doc) || !doc.IsObject()) return fail("feed_episode_add: invalid JSON object");
    const std::optional<std::string_view> file = text_member(doc, "file");
    if (!file || file->empty()) return fail("feed_episode_add: missing 'file'");
    if (eps.count >= kMaxEpisodes) return fail("feed_episode_add: too many episodes");

    // The slot after the last episode is filled first and counted last, so a
    // call that fails on the way leaves the table as it was.
    pf_episode &e = eps[eps.count];
    e = pf_episode{};
    copy_host_members(e, doc);
    const bool whole_path = file->size() < e.file.capacity;
    // A cut path names some other file, whose facts would be wrong.
    if (whole_path) copy_file_facts(e);
    ++eps.count;
    // The probe may have complained about the file; the add itself succeeded.
    clear_err();
    return 0;
}

}  // namespace

}  // namespace pf

extern "C" PF_API int feed_episode_add(const char *json) {
    try {
        return pf::add_episode(pf::s_feed.episodes, json);
    } catch (const std::bad_alloc &) {
        return pf::fail("out of memory");
    }
}
