// The validation report: every recorded rule outcome as one compact JSON array.
#include "checks/checks.h"
#include "core/json.h"
#include "core/text.h"
#include "quorvane_podcastfeed.h"

namespace pf {
namespace {

char s_out[65536];

// False when the writer refuses a value; the caller then reports an empty
// array rather than a truncated one, so the report stays valid JSON.
bool write_rules(JsonWriter &writer) {
    bool ok = writer.StartArray();
    for (int i = 0; ok && i < s_rule_n; ++i) {
        const pf_rule &r = s_rules[i];
        ok = writer.StartObject() && writer.Key("rule") && writer.String(r.rule) && writer.Key("ok") &&
             writer.Bool(r.ok != 0) && writer.Key("detail") && writer.String(r.detail) && writer.EndObject();
    }
    return ok && writer.EndArray();
}

}  // namespace
}  // namespace pf

extern "C" PF_API const char *feed_validate_report_json(void) {
    using namespace pf;
    feed_validate();
    write_json_result(s_out, "[]", write_rules);
    return s_out;
}
