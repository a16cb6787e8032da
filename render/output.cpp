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

const char *growth_failed() {
    set_err("feed_generate: buffer growth failed");
    return nullptr;
}

}  // namespace

bool grow_feed_buffer(pf_feed_buffer &feed, std::uint64_t needed) {
    std::uint64_t capacity = feed.capacity ? feed.capacity : kFirstCapacity;
    while (capacity < needed) {
        if (capacity > UINT64_MAX / 2) return false;
        capacity *= 2;
    }
    if (capacity > SIZE_MAX) return false;
    // A large block the system moves by its pages rather than by copying
    // them, and a failed move leaves the old block as it was.
    char *fresh = static_cast<char *>(std::realloc(feed.text, static_cast<std::size_t>(capacity)));
    if (!fresh) return false;
    feed.text = fresh;
    feed.capacity = capacity;
    return true;
}

const char *render_feed(pf_feed_state &st) {
    pf_feed_buffer &feed = st.feed;
    if (!feed.text && !grow_feed_buffer(feed, kFirstCapacity)) return growth_failed();
    const int rc = feed_build(st, feed);
    if (rc == kBuildGrowthFailed) return growth_failed();
    return rc == 0 ? feed.text : nullptr;
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
