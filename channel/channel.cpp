// The channel settings table and its three exported operations.
#include "channel/channel.h"

#include <new>
#include <string_view>

#include "core/error.h"
#include "core/feed_state.h"
#include "core/json.h"
#include "core/text.h"
#include "quorvane_podcastfeed.h"

namespace pf {

namespace {

// The entry of key, or -1.
int entry_index(const pf_channel_table &channel, std::string_view key) {
    for (int i = 0; i < channel.count; ++i) {
        if (key == channel.entries[i].key) return i;
    }
    return -1;
}

// The settings as one object; false when the writer refuses a value (one
// that is not valid UTF-8).
bool write_channel(const pf_channel_table &channel, JsonWriter &writer) {
    if (!writer.StartObject()) return false;
    for (int i = 0; i < channel.count; ++i) {
        const std::string_view key = channel.entries[i].key, value = channel.entries[i].value;
        if (!writer.Key(key.data(), static_cast<rapidjson::SizeType>(key.size())) ||
            !writer.String(value.data(), static_cast<rapidjson::SizeType>(value.size())))
            return false;
    }
    return writer.EndObject();
}

}  // namespace

int channel_set(pf_channel_table &channel, const char *key, const char *value) {
    if (!key || !*key || !value) return fail("feed_channel_set: NULL args");
    if (!find_channel_key(key)) return fail("feed_channel_set: unknown key '%s'", key);
    const std::string_view text = value;
    if (text.size() > kChannelValueCapacity - 1) return fail("feed_channel_set: value too long for '%s'", key);

    int i = entry_index(channel, key);
    if (i < 0) {
        if (channel.count == kChannelEntries) return fail("feed_channel_set: too many keys");
        i = channel.count++;
        copy_cut(channel.entries[i].key, key);
    }
    // value may be this entry's own text (read back through channel_lookup).
    copy_cut(channel.entries[i].value, text);
    clear_err();
    return 0;
}

const char *channel_lookup(const pf_channel_table &channel, const char *key) {
    const int i = key ? entry_index(channel, key) : -1;
    return i < 0 ? nullptr : channel.entries[i].value;
}

}  // namespace pf

extern "C" PF_API int feed_channel_set(const char *key, const char *value) {
    return pf::channel_set(pf::s_feed.channel, key, value);
}

extern "C" PF_API const char *feed_channel_json(void) {
    auto &out = pf::s_feed.out.channel_json;
    pf::write_json_result(out, "{}", [](pf::JsonWriter &writer) { return pf::write_channel(pf::s_feed.channel, writer); });
    return out;
}

extern "C" PF_API int feed_channel_reset(void) {
    pf::s_feed.channel.count = 0;
    pf::clear_err();
    return 0;
}
