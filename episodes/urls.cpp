// Enclosure URLs and GUIDs: the URL settings, the host's per-file overrides,
// and the derivation that fills each episode's url and guid from them.
#include <cstdio>
#include <string_view>

#include "core/error.h"
#include "core/text.h"
#include "episodes/episodes.h"
#include "quorvane_podcastfeed.h"

namespace pf {

pf_override s_overrides[kMaxOverrides];
int s_override_n = 0;

char *s_url_base = nullptr;
char *s_url_local_root = nullptr;
char *s_guid_prefix = nullptr;

namespace {

const char *setting(const char *slot) { return slot ? slot : ""; }

bool is_separator(char c) { return c == '/' || c == '\\'; }

// Entries are only appended, so the first match is the one the host set first.
const pf_override *first_override_for(const char *file) {
    const std::string_view path = file;
    const std::string_view name = base_name(file);
    for (int k = 0; k < s_override_n; ++k) {
        const std::string_view key = s_overrides[k].file;
        if (key == path || key == name) return &s_overrides[k];
    }
    return nullptr;
}

// The part of file below root, or its base name when file lies elsewhere;
// either way a tail of file. Only a whole path component counts, so root
// /a/b does not claim /a/bc/x.
const char *path_below(const char *file, std::string_view root) {
    const std::string_view path = file;
    if (path.starts_with(root) && (path.size() == root.size() || is_separator(path[root.size()]))) {
        const char *rel = file + root.size();
        while (is_separator(*rel)) ++rel;
        return rel;
    }
    return base_name(file);
}

void keep_or_default_guid(pf_episode &e) {
    if (!e.guid[0]) copy_cut(e.guid, e.file);
}

void derive_url(pf_episode &e) {
    const char *base = setting(s_url_base);
    const char *root = setting(s_url_local_root);
    HeapText quoted = *base && *root ? pf_quote(path_below(e.file, root)) : nullptr;
    // Without both settings, or the memory to encode the path, there is
    // nothing to publish under: the local path is the best URL known.
    if (!quoted) {
        copy_cut(e.url, e.file);
        return;
    }
    std::snprintf(e.url, sizeof e.url, "%s/%s", base, quoted.get());
}

void derive_guid(pf_episode &e) {
    const char *prefix = setting(s_guid_prefix);
    if (*prefix)
        std::snprintf(e.guid, sizeof e.guid, "%s/%s", prefix, base_name(e.file));
    else
        copy_cut(e.guid, e.file);
}

}  // namespace

void ep_derive_urls(pf_episode &e) {
    if (const pf_override *o = first_override_for(e.file)) {
        // An override outranks even a URL the host set on the episode.
        copy_cut(e.url, o->url);
        keep_or_default_guid(e);
        return;
    }
    // A URL once derived or set by the host stays, so a feed's enclosures do
    // not change under listeners when the settings change later.
    if (e.url[0] || e.url_explicit) {
        keep_or_default_guid(e);
        return;
    }
    derive_url(e);
    derive_guid(e);
}

}  // namespace pf

extern "C" PF_API int feed_url_base(const char *base, const char *local_root) {
    using namespace pf;
    if (!base || !*base) return fail("feed_url_base: NULL base");
    if (set_grow(&s_url_base, base) != 0) return fail("out of memory");
    if (!local_root) {
        // The block is kept for the next setting; only its text goes.
        if (s_url_local_root) s_url_local_root[0] = '\0';
    } else if (set_grow(&s_url_local_root, local_root) != 0) {
        return fail("out of memory");
    }
    clear_err();
    return 0;
}

extern "C" PF_API int feed_url_override(const char *file, const char *url) {
    using namespace pf;
    if (!file || !url) return fail("feed_url_override: NULL args");
    if (s_override_n >= kMaxOverrides) return fail("feed_url_override: too many");
    pf_override &o = s_overrides[s_override_n++];
    copy_cut(o.file, file);
    copy_cut(o.url, url);
    clear_err();
    return 0;
}
