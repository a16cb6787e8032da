// Reading an episode's fields as text: texts as the record holds them,
// numbers through the record's own scratch texts, with the enclosure URL and
// GUID derived first.
#include <cinttypes>
#include <cstdio>
#include <span>
#include <string_view>

#include "core/dates.h"
#include "core/error.h"
#include "core/feed_state.h"
#include "episodes/episodes.h"
#include "quorvane_podcastfeed.h"

namespace pf {

namespace {

// Every answer is a C text the host may keep, so an unknown name gets one
// that never changes.
const char kUnknownField[] = "";

static_assert(field_capacity("duration") == kDurationCapacity);

// A number is written to its own scratch text when it is asked for, so the
// text of one stays readable while the host asks for another.
const char *number_text(const pf_field &f, pf_episode &e) {
    const std::span<char> out = f.scratch(e);
    switch (f.kind) {
        case FieldKind::text: break;
        case FieldKind::int32: std::snprintf(out.data(), out.size(), "%" PRId32, e.*f.int32); break;
        case FieldKind::int64: std::snprintf(out.data(), out.size(), "%" PRId64, e.*f.int64); break;
        case FieldKind::clock: fmt_duration_local(e.*f.int64, out.data()); break;
    }
    return out.data();
}

const char *field_text(pf_episode &e, std::string_view name) {
    const pf_field *field = find_field(name);
    if (!field || !field->host_reads) return kUnknownField;
    return field->kind == FieldKind::text ? field->view(e).data() : number_text(*field, e);
}

}  // namespace

}  // namespace pf

extern "C" PF_API const char *feed_episode_field(int index, const char *field) {
    using namespace pf;
    pf_feed_state &st = s_feed;
    if (index < 0 || index >= st.episodes.count) {
        set_err("feed_episode_field: index %d out of range", index);
        return nullptr;
    }
    if (!field) {
        set_err("feed_episode_field: NULL field");
        return nullptr;
    }
    pf_episode &e = st.episodes[index];
    // The host sees the URL and GUID the feed would carry, whatever it asks for.
    if (!ep_derive_urls(st.urls, e)) return nullptr;
    return field_text(e, field);
}
