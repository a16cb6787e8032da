// Feed validation: renders the feed and records the outcome of every rule in
// the rule table, in rule order.
#include <string_view>

#include "checks/checks.h"
#include "checks/scans.h"
#include "core/feed_state.h"
#include "core/text.h"
#include "episodes/episodes.h"
#include "quorvane_podcastfeed.h"
#include "render/render.h"

namespace pf {

const char *const REQ_TAGS[] = {"<title>", "<link>", "<description>", "<language>", "<lastBuildDate>", nullptr};

namespace {

constexpr const char *kOk = "ok";
constexpr const char *kRequiredTag = "channel required tag";

// A rule met when the document contains needle (and also, when given).
struct PresenceRule {
    const char *rule;
    std::string_view needle;
    std::string_view also;
    const char *failed;
};

constexpr PresenceRule kRootRules[] = {
    {"rss_root", "<rss version=\"2.0\"", {}, "missing rss 2.0 root"},
    {"itunes_ns", "xmlns:itunes", {}, "missing itunes namespace"},
    {"atom_self_link", "xmlns:atom", "<atom:link", "missing atom self link"},
    {"channel_present", "<channel>", {}, "missing channel"},
};

constexpr PresenceRule kItunesRules[] = {
    {"itunes_category", "<itunes:category", {}, "missing itunes:category"},
    {"itunes_explicit", "<itunes:explicit>", {}, "missing itunes:explicit"},
    {"itunes_image", "<itunes:image", {}, "missing itunes:image (channel art)"},
};

// The table has room for far more outcomes than one validation stores; a
// full table drops further outcomes rather than overrunning.
void record(pf_rule_table &rules, const char *rule, bool ok, const char *detail) {
    if (rules.count >= kMaxRules) return;
    pf_rule &r = rules.rules[rules.count++];
    r.rule = rule;
    r.ok = ok ? 1 : 0;
    copy_cut(r.detail, detail);
}

void record_presence(pf_rule_table &rules, std::string_view doc, const PresenceRule &r) {
    const bool ok = contains(doc, r.needle) && (r.also.empty() || contains(doc, r.also));
    record(rules, r.rule, ok, ok ? kOk : r.failed);
}

// Channel rules search the whole document, so an item element also meets
// them; the writer always puts them in the channel head anyway.
void record_channel_rules(pf_rule_table &rules, std::string_view doc, int episode_count) {
    for (const PresenceRule &r : kRootRules) record_presence(rules, doc, r);
    for (const char *const *tag = REQ_TAGS; *tag; ++tag) record(rules, *tag, contains(doc, *tag), kRequiredTag);
    for (const PresenceRule &r : kItunesRules) record_presence(rules, doc, r);
    const bool durations = contains(doc, "<itunes:duration>") || episode_count <= 0;
    record(rules, "itunes_duration", durations, durations ? kOk : "episodes lack itunes:duration");
}

void record_item_rules(pf_rule_table &rules, std::string_view doc, int episode_count) {
    const ItemScan scan = scan_items(doc, episode_count);
    record(rules, "enclosure_present", scan.enclosure,
           episode_count != 0 ? "every item has <enclosure>" : "no episodes");
    record(rules, "enclosure_length", scan.length, "length attr present and non-empty");
    record(rules, "enclosure_type", scan.type, "type attr is a mime type");
    record(rules, "guid_present", scan.guid, "every item has isPermaLink=false guid");
    record(rules, "pubdate_present", scan.pub_date, "every item has pubDate");
    record(rules, "duration_format", scan.duration, "H:MM:SS or M:SS");
}

bool any_failed(const pf_rule_table &rules) {
    for (int i = 0; i < rules.count; ++i)
        if (!rules.rules[i].ok) return true;
    return false;
}

}  // namespace

int validate_text(pf_rule_table &rules, std::string_view doc, int episode_count) {
    rules.count = 0;
    record(rules, "xml_generated", true, kOk);
    record(rules, "xml_wellformed", tags_balance(doc), "tag balance check");
    record_channel_rules(rules, doc, episode_count);
    record_item_rules(rules, doc, episode_count);
    return any_failed(rules) ? 1 : 0;
}

int validate_feed(pf_feed_state &st) {
    st.rules.count = 0;
    const char *rendered = render_feed(st);
    const std::string_view doc = rendered ? rendered : "";
    if (doc.empty()) {
        record(st.rules, "xml_generated", false, "generation failed");
        return -1;
    }
    return validate_text(st.rules, doc, st.episodes.count);
}

}  // namespace pf

extern "C" PF_API int feed_validate(void) { return pf::validate_feed(pf::s_feed); }
