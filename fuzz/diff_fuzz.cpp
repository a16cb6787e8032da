// An earlier feed file with any bytes, compared with a fixed current feed of
// three episodes whose GUIDs and URLs the old file may or may not name.
#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz_support.h"
#include "quorvane_podcastfeed.h"

namespace {

void build_current_feed() {
    feed_url_base("https://cdn.example.com/show", "/media/show");
    const char *const episodes[] = {
        R"({"file":"/media/show/one.mp3","title":"One","pubDate":"Tue, 14 Nov 2023 22:13:20 GMT"})",
        R"({"file":"/media/show/two.mp3","title":"Two & <more>","episode":2})",
        R"({"file":"/media/show/three.m4a","title":"Three"})",
    };
    for (const char *json : episodes) pf_fuzz::require(feed_episode_add(json) == 0, feed_last_error());
    pf_fuzz::require(feed_episode_set(1, "guid", "ep-2") == 0, feed_last_error());
    pf_fuzz::require(feed_episode_set(2, "url", "https://other.example.com/3.m4a") == 0, feed_last_error());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    static const std::string old_feed = [] {
        build_current_feed();
        return pf_fuzz::scratch_path("old.xml");
    }();
    pf_fuzz::write_bytes(old_feed, data, size);
    pf_fuzz::require_json(feed_diff(old_feed.c_str()), true);
    pf_fuzz::require(feed_episode_count() == 3, "the diff changed the episode table");
    return 0;
}
