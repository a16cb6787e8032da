// The feed buffer and the two ways the rendered feed leaves the library: as
// text in memory and as a file that replaces the published one.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string_view>

#include "core/error.h"
#include "core/feed_state.h"
#include "core/platform.h"
#include "quorvane_podcastfeed.h"
#include "render/render.h"

namespace pf {

namespace {

constexpr std::uint64_t kFirstCapacity = 65536;

// The contents need not survive a growth step (the next attempt renders
// afresh), so a new block replaces the old one without copying. When memory
// cannot be had the old buffer and its size stay as they were.
bool set_capacity(pf_feed_buffer &feed, std::uint64_t capacity) {
    if (capacity > SIZE_MAX) return false;
    char *fresh = static_cast<char *>(std::malloc(static_cast<std::size_t>(capacity)));
    if (!fresh) return false;
    std::free(feed.text);
    feed.text = fresh;
    feed.capacity = capacity;
    return true;
}

const char *growth_failed() {
    set_err("feed_generate: buffer growth failed");
    return nullptr;
}

}  // namespace

const char *render_feed(pf_feed_state &st) {
    pf_feed_buffer &feed = st.feed;
    if (!feed.text && !set_capacity(feed, kFirstCapacity)) return growth_failed();
    // An overflowing attempt measures the document, and the buffer doubles
    // as often as that length asks at once. The next attempt renders afresh
    // and may find the files changed, so it is measured again; a document is
    // bounded by the tables' capacities, so this ends either in a fit or in
    // memory running out.
    for (;;) {
        std::uint64_t needed = 0;
        const int rc = feed_build(st, feed.text, feed.capacity, &needed);
        if (rc == 0) return feed.text;
        if (rc != kBuildOverflow) return nullptr;
        std::uint64_t capacity = feed.capacity;
        do {
            if (capacity > UINT64_MAX / 2) return growth_failed();
            capacity *= 2;
        } while (capacity < needed);
        if (!set_capacity(feed, capacity)) return growth_failed();
    }
}

}  // namespace pf

extern "C" PF_API const char *feed_generate(void) {
    const char *document = pf::render_feed(pf::s_feed);
    return document ? document : "";
}

extern "C" PF_API int feed_generate_to(const char *path) {
    if (!path || !*path) return pf::fail("feed_generate_to: NULL path");
    const char *document = pf::render_feed(pf::s_feed);
    if (!document) return pf::fail("feed_generate_to: generate failed: %s", pf::s_err);
    pf::ReplaceResult replaced;
    try {
        replaced = pf::replace_file(path, std::string_view(document, std::strlen(document)));
    } catch (const std::bad_alloc &) {
        // The new file never took the old one's place, so the old one stands.
        return pf::fail("feed_generate_to: out of memory");
    }
    switch (replaced) {
        case pf::ReplaceResult::ok:
            break;
        case pf::ReplaceResult::open_failed:
            return pf::fail("feed_generate_to: cannot open %s for write (win err %lu)", path,
                            pf::last_os_error());
        case pf::ReplaceResult::write_failed:
            return pf::fail("feed_generate_to: short write to %s", path);
    }
    pf::clear_err();
    return 0;
}
