// Enclosure URLs and GUIDs: the URL settings, the host's per-file overrides,
// and the derivation that fills each episode's url and guid from them.
#include <cstdio>
#include <cstdlib>
#include <string_view>

#include "core/error.h"
#include "core/feed_state.h"
#include "core/text.h"
#include "episodes/episodes.h"
#include "quorvane_podcastfeed.h"

namespace pf {

namespace {

const char *setting(const char *slot) { return slot ? slot : ""; }

bool is_separator(char c) { return c == '/' || c == '\\'; }

// Entries are only appended, so the first match is the one the host set first.
const pf_override *first_override_for(const pf_url_settings &urls, const char *file) {
    const std::string_view path = file;
    const std::string_view name = base_name(file);
    for (int k = 0; k < urls.override_count; ++k) {
        const std::string_view key = urls.overrides[k].file;
        if (key == path || key == name) return &urls.overrides[k];
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

// False, with the url untouched, when the path cannot be encoded for lack of
// memory: a URL once stored is kept, so a stand-in would be published for good.
bool derive_url(const pf_url_settings &urls, pf_episode &e) {
    const char *base = setting(urls.base);
    const char *root = setting(urls.local_root);
    // Without both settings there is nothing to publish under: the local
    // path is the best URL known.
    if (!*base || !*root) {
        copy_cut(e.url, e.file);
        return true;
    }
    const HeapText quoted = pf_quote(path_below(e.file, root));
    if (!quoted) return false;
    std::snprintf(e.url, sizeof e.url, "%s/%s", base, quoted.get());
    return true;
}

void derive_guid(const pf_url_settings &urls, pf_episode &e) {
    const char *prefix = setting(urls.guid_prefix);
    if (*prefix)
        std::snprintf(e.guid, sizeof e.guid, "%s/%s", prefix, base_name(e.file));
    else
        copy_cut(e.guid, e.file);
}

}  // namespace

bool ep_derive_urls(const pf_url_settings &urls, pf_episode &e) {
    if (const pf_override *o = first_override_for(urls, e.file)) {
        // An override outranks even a URL the host set on the episode.
        copy_cut(e.url, o->url);
        keep_or_default_guid(e);
        return true;
    }
    // A URL once derived or set by the host stays, so a feed's enclosures do
    // not change under listeners when the settings change later.
    if (e.url[0] || e.url_explicit) {
        keep_or_default_guid(e);
        return true;
    }
    if (!derive_url(urls, e)) return false;
    derive_guid(urls, e);
    return true;
}

}  // namespace pf

extern "C" PF_API int feed_url_base(const char *base, const char *local_root) {
    using namespace pf;
    pf_url_settings &urls = s_feed.urls;
    if (!base || !*base) return fail("feed_url_base: NULL base");
    // Both settings change or neither: a root that needs a new block gets it
    // before the base changes, and one that fits its block cannot fail.
    char *new_root = nullptr;
    const bool root_moves = local_root && !grow_reuses(urls.local_root, local_root);
    if (root_moves && set_grow(&new_root, local_root) != 0) return fail("out of memory");
    if (set_grow(&urls.base, base) != 0) {
        std::free(new_root);
        return fail("out of memory");
    }
    if (root_moves) {
        std::free(urls.local_root);
        urls.local_root = new_root;
    } else if (local_root) {
        set_grow(&urls.local_root, local_root);
    } else if (urls.local_root) {
        // The block is kept for the next setting; only its text goes.
        urls.local_root[0] = '\0';
    }
    clear_err();
    return 0;
}

extern "C" PF_API int feed_url_override(const char *file, const char *url) {
    using namespace pf;
    pf_url_settings &urls = s_feed.urls;
    if (!file || !url) return fail("feed_url_override: NULL args");
    if (urls.override_count >= kMaxOverrides) return fail("feed_url_override: too many");
    pf_override &o = urls.overrides[urls.override_count++];
    copy_cut(o.file, file);
    copy_cut(o.url, url);
    clear_err();
    return 0;
}
