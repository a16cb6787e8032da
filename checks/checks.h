// Internal side of the feed checks: the rule table that the validation fills
// and the report reads, and what the statistics share with the diff.
#pragma once

#include <cstdint>
#include <string_view>

namespace pf {

struct pf_episode_table;
struct pf_feed_state;

// One rule outcome of the last validation.
struct pf_rule {
    const char *rule;  // a literal of the validator; never copied
    std::int32_t ok;   // 1 passed, 0 failed
    char detail[256];
};

constexpr int kMaxRules = 64;

// The outcomes of the last validation, in rule order.
struct pf_rule_table {
    pf_rule rules[kMaxRules];
    int count;
};

// The channel elements every feed must carry; ends with nullptr.
extern const char *const REQ_TAGS[];

// Records in rules the outcome of every rule for a rendered document that is
// not empty, given the episode count it was rendered from; 0 when all
// passed, else 1.
int validate_text(pf_rule_table &rules, std::string_view doc, int episode_count);

// Renders st's feed and records every rule's outcome in st.rules: 0 when
// all passed, 1 when one failed, -1 when the feed could not be rendered.
int validate_feed(pf_feed_state &st);

// The stored pubDate of the first episode, in table order, with the latest
// date that parses; "" when none does. Points into the episode table.
const char *newest_pub_date(const pf_episode_table &eps);

}  // namespace pf
