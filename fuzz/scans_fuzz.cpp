// The validator's textual scans on any text, the way feed_diff and a host's
// own feed file can hand them documents the writer never produced. The first
// byte picks the expected episode count, so the count rule is reached too.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "checks/checks.h"
#include "checks/scans.h"
#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    if (size == 0) return 0;
    const int episode_count = data[0] % 8;
    const std::string_view text(reinterpret_cast<const char *>(data + 1), size - 1);
    const pf::ItemScan scan = pf::scan_items(text, episode_count);
    pf_fuzz::require(scan.items >= 0, "a negative item count");
    pf::tags_balance(text);
    if (text.empty()) return 0;
    pf::pf_rule_table rules{};
    const int outcome = pf::validate_text(rules, text, episode_count);
    pf_fuzz::require(outcome == 0 || outcome == 1, "validation outcome outside 0 and 1");
    pf_fuzz::require(rules.count > 0 && rules.count <= pf::kMaxRules, "rule count out of range");
    return 0;
}
