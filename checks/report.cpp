// The validation report: every recorded rule outcome as one compact JSON array.
#include <new>

#include "checks/checks.h"
#include "core/error.h"
#include "core/feed_state.h"
#include "core/json.h"
#include "core/text.h"
#include "quorvane_podcastfeed.h"

namespace pf {
namespace {

// False when the writer refuses a value; the caller then reports an empty
// array rather than a truncated one, so the report stays valid JSON.
bool write_rules(const pf_rule_table &rules, JsonWriter &writer) {
    bool ok = writer.StartArray();
    for (int i = 0; ok && i < rules.count; ++i) {
        const pf_rule &r = rules.rules[i];
        ok = writer.StartObject() && writer.Key("rule") && writer.String(r.rule) && writer.Key("ok") &&
             writer.Bool(r.ok != 0) && writer.Key("detail") && writer.String(r.detail) && writer.EndObject();
    }
    return ok && writer.EndArray();
}

const char *validation_report(pf_feed_state &st) {
    validate_feed(st);
    // The empty array is a report too, where a cut one would not be JSON.
    auto write = [&](JsonWriter &writer) { return write_rules(st.rules, writer); };
    if (!write_json_result(st.out.report_json, "[]", write)) set_err("out of memory");
    return st.out.report_json;
}

}  // namespace
}  // namespace pf

extern "C" PF_API const char *feed_validate_report_json(void) { return pf::validation_report(pf::s_feed); }
