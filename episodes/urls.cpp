// Enclosure URLs and GUIDs: the URL settings, the host's per-file overrides,
// and the derivation that fills each episode's url and guid from them.
#include <cstdlib>
#include <new>
#include <string>
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

// Without both settings there is nothing to publish under: the local path
// is the best URL known. Throws std::bad_alloc when memory runs out.
std::string derived_url(const pf_url_settings &urls, const pf_episode &e) {
    const char *base = setting(urls.base);
    const char *root = setting(urls.local_root);
    if (!*base || !*root) return std::string(e.file.view());
    const HeapText quoted = pf_quote(path_below(e.file.c_str(), root));
    if (!quoted) throw std::bad_alloc();
    std::string url = base;
    url += '/';
    url += quoted.get();
    return url;
}

std::string derived_guid(const pf_url_settings &urls, const pf_episode &e) {
    const char *prefix = setting(urls.guid_prefix);
    if (!*prefix) return std::string(e.file.view());
    std::string guid = prefix;
    guid += '/';
    guid += base_name(e.file.c_str());
    return guid;
}

// Both texts change or neither: the new ones are made before either is
// stored. A text that comes out as it was keeps its block, so an address the
// host holds stays valid however often the derivation runs.
void store(pf_episode &e, std::string_view url, std::string_view guid) {
    decltype(pf_episode::url) new_url;
    decltype(pf_episode::guid) new_guid;
    const bool url_changes = !e.url.holds(url);
    const bool guid_changes = !e.guid.holds(guid);
    if (url_changes) new_url.assign(url);
    if (guid_changes) new_guid.assign(guid);
    if (url_changes) e.url.swap(new_url);
    if (guid_changes) e.guid.swap(new_guid);
}

void derive(const pf_url_settings &urls, pf_episode &e) {
    if (const pf_override *o = first_override_for(urls, e.file.c_str())) {
        // An override outranks even a URL the host set on the episode.
        store(e, o->url, e.guid.empty() ? e.file.view() : e.guid.view());
        return;
    }
    // A URL once derived or set by the host stays, so a feed's enclosures do
    // not change under listeners when the settings change later.
    if (!e.url.empty() || e.url_explicit) {
        if (e.guid.empty()) e.guid.assign(e.file.view());
        return;
    }
    store(e, derived_url(urls, e), derived_guid(urls, e));
}

}  // namespace

bool ep_derive_urls(const pf_url_settings &urls, pf_episode &e) {
    try {
        derive(urls, e);
        return true;
    } catch (const std::bad_alloc &) {
        // A stand-in URL would be kept, and so published for good.
        set_err("out of memory");
        return false;
    }
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
