// The library's one feed: every table, setting and result buffer that
// outlives a call, gathered in one object. The last-error text stays apart
// (core/error.h), as every function reports through it, state or none.
#pragma once

#include <cstddef>

#include "channel/channel.h"
#include "checks/checks.h"
#include "episodes/episodes.h"
#include "render/render.h"

namespace pf {

// Eight channel values of 4095 bytes, each byte escaped to six at worst, with
// their keys: the whole object always fits, so the text is never cut into
// invalid JSON.
constexpr std::size_t kChannelJsonCapacity = 262144;
constexpr std::size_t kReportJsonCapacity = 65536;
// Room for a channel title of 4095 bytes even when every byte is escaped
// six-fold, so the object is never cut into invalid JSON.
constexpr std::size_t kStatsJsonCapacity = 32768;
constexpr std::size_t kDiffJsonCapacity = 1024;
constexpr std::size_t kSidecarReadCapacity = 65536;

// The texts the reporting operations hand to the host, one buffer each, never
// shared between two operations: each stays valid, at the same address, until
// its own operation runs again.
struct pf_result_buffers {
    char channel_json[kChannelJsonCapacity];  // feed_channel_json
    char report_json[kReportJsonCapacity];    // feed_validate_report_json
    char stats_json[kStatsJsonCapacity];      // feed_stats_json
    char diff_json[kDiffJsonCapacity];        // feed_diff
    char sidecar_text[kSidecarReadCapacity];  // feed_sidecar_read
};

// All zero is the state at load: empty tables, unset URL settings, no feed
// buffer, empty results. The probe keeps its own result (probe/) apart.
struct pf_feed_state {
    pf_channel_table channel;
    pf_episode_table episodes;
    pf_url_settings urls;
    pf_feed_buffer feed;
    pf_rule_table rules;
    pf_result_buffers out;
};

// The one instance. The exported functions alone name it; whatever they call
// is handed the state, or the part of it that it reads or changes.
extern pf_feed_state s_feed;

// Puts st back to the state at load, the last-error text included: the heap
// texts and the feed buffer are freed. No exported operation does this.
void reset_feed_state(pf_feed_state &st);

}  // namespace pf
