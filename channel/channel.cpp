// The channel settings table and its three exported operations.
#include "channel/channel.h"

#include <string_view>

#include "core/error.h"
#include "core/json.h"
#include "core/text.h"
#include "quorvane_podcastfeed.h"

namespace pf {

pf_channel_entry s_channel[kChannelEntries];
int s_channel_n;

namespace {

// Eight values of 4095 bytes, each byte escaped to six at worst, with their
// keys: the whole object always fits, so the text is never cut into invalid JSON.
constexpr std::size_t kChannelJsonCapacity = 262144;
char s_channel_json[kChannelJsonCapacity];

pf_channel_entry *find_entry(std::string_view key) {
    for (int i = 0; i < s_channel_n; ++i) {
        if (key == s_channel[i].key) return &s_channel[i];
    }
    return nullptr;
}

// The settings as one object; false when the writer refuses a value (one
// that is not valid UTF-8).
bool write_channel(JsonWriter &writer) {
    if (!writer.StartObject()) return false;
    for (int i = 0; i < s_channel_n; ++i) {
        const std::string_view key = s_channel[i].key, value = s_channel[i].value;
        if (!writer.Key(key.data(), static_cast<rapidjson::SizeType>(key.size())) ||
            !writer.String(value.data(), static_cast<rapidjson::SizeType>(value.size())))
            return false;
    }
    return writer.EndObject();
}

int channel_set(const char *key, const char *value) {
    if (!key || !*key || !value) return fail("feed_channel_set: NULL args");
    if (!find_channel_key(key)) return fail("feed_channel_set: unknown key '%s'", key);
    const std::string_view text = value;
    if (text.size() > kChannelValueCapacity - 1) return fail("feed_channel_set: value too long for '%s'", key);

    pf_channel_entry *entry = find_entry(key);
    if (!entry) {
        if (s_channel_n == kChannelEntries) return fail("feed_channel_set: too many keys");
        entry = &s_channel[s_channel_n++];
        copy_cut(entry->key, key);
    }
    // value may be this entry's own text (read back through channel_lookup).
    copy_cut(entry->value, text);
    clear_err();
    return 0;
}

}  // namespace

const char *channel_lookup(const char *key) {
    const pf_channel_entry *entry = key ? find_entry(key) : nullptr;
    return entry ? entry->value : nullptr;
}

}  // namespace pf

extern "C" PF_API int feed_channel_set(const char *key, const char *value) { return pf::channel_set(key, value); }

extern "C" PF_API const char *feed_channel_json(void) {
    pf::write_json_result(pf::s_channel_json, "{}", pf::write_channel);
    return pf::s_channel_json;
}

extern "C" PF_API int feed_channel_reset(void) {
    pf::s_channel_n = 0;
    pf::clear_err();
    return 0;
}
