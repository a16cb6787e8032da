// The one instance of the library's feed, and the way back to its load state.
#include "core/feed_state.h"

#include <cstdlib>
#include <initializer_list>

#include "core/error.h"

namespace pf {

// Initialised by the compiler, not at load: all zero, in zero-filled storage
// that costs no memory until a page of it is written.
constinit pf_feed_state s_feed{};

void reset_feed_state(pf_feed_state &st) {
    st.channel.count = 0;
    // The records stay as they are: a record is emptied when it is taken,
    // and emptying them all would write every page of them.
    st.episodes.reset();
    for (char **text : {&st.urls.base, &st.urls.local_root, &st.urls.guid_prefix}) {
        std::free(*text);
        *text = nullptr;
    }
    st.urls.override_count = 0;
    std::free(st.feed.text);
    st.feed = pf_feed_buffer{};
    st.rules.count = 0;
    for (char *text : {st.out.channel_json, st.out.report_json, st.out.stats_json, st.out.diff_json,
                       st.out.sidecar_text})
        text[0] = '\0';
    clear_err();
}

}  // namespace pf
