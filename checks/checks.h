// Internal side of the feed checks: the rule table that the validation fills
// and the report reads, and what the statistics share with the diff.
#pragma once

#include <cstdint>
#include <string_view>

namespace pf {

// One rule outcome of the last validation.
struct pf_rule {
    const char *rule;  // a literal of the validator; never copied
    std::int32_t ok;   // 1 passed, 0 failed
    char detail[256];
};

constexpr int kMaxRules = 64;
extern pf_rule s_rules[kMaxRules];
extern int s_rule_n;

// The channel elements every feed must carry; ends with nullptr.
extern const char *const REQ_TAGS[];

// Records the outcome of every rule for a rendered document that is not
// empty, given the episode count it was rendered from; 0 when all passed,
// else 1.
int validate_text(std::string_view doc, int episode_count);

// The stored pubDate of the first episode, in table order, with the latest
// date that parses; "" when none does. Points into the episode table.
const char *newest_pub_date();

}  // namespace pf
