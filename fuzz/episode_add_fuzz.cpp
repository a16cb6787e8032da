// Episode objects from any text, then everything a host does with an added
// episode: every field read back, the feed rendered and validated. The table
// is emptied after each input so inputs never depend on one another.
#include <cstddef>
#include <cstdint>
#include <string>

#include "episodes/episodes.h"
#include "fuzz_support.h"
#include "quorvane_podcastfeed.h"

namespace {

void read_every_field() {
    for (const pf::pf_field &field : pf::PF_EPISODE_FIELDS)
        if (field.host_reads)
            pf_fuzz::require(feed_episode_field(0, field.name) != nullptr, "a field of a stored episode was NULL");
}

void empty_table() {
    while (feed_episode_count() > 0) pf_fuzz::require(feed_episode_remove(0) == 0, "remove failed");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    const std::string json = pf_fuzz::as_text(data, size);
    const int status = feed_episode_add(json.c_str());
    pf_fuzz::require(status == 0 || status == -1, "status outside 0 and -1");
    pf_fuzz::require(feed_episode_count() == (status == 0 ? 1 : 0), "the count does not match the status");
    if (status == 0) {
        read_every_field();
        pf_fuzz::require_well_formed(feed_generate());
        pf_fuzz::require_json(feed_validate_report_json(), false);
        pf_fuzz::require_json(feed_stats_json(), false);
    }
    empty_table();
    return 0;
}
