// The channel settings table: feed-level texts set key by key.
#pragma once

#include <cstddef>
#include <string_view>

#include "quorvane_podcastfeed.h"

namespace pf {

constexpr int kChannelEntries = 16;
constexpr std::size_t kChannelKeyCapacity = 64;
constexpr std::size_t kChannelValueCapacity = 4096;

struct pf_channel_entry {
    char key[kChannelKeyCapacity];
    char value[kChannelValueCapacity];
};

// A key the host may set, with what a feed shows while it is unset or empty.
// A folder scan sets every key that has a fallback to it, but for a video
// folder to the video text where there is one; the title and artwork it
// takes from the folder when the folder has them.
struct pf_channel_key {
    const char *key;
    const char *fallback;  // nullptr: made when the feed is built (the build time)
    const char *video;     // nullptr: a video folder has the fallback too
};

// In the order a scan sets them.
inline constexpr pf_channel_key PF_CHANNEL_KEYS[] = {
    {"title", "My Music", nullptr},
    {"description", "Personal audio playlist", "Personal video playlist"},
    {"language", "en", nullptr},
    {"author", "My Music", nullptr},
    {"category", "Music", "TV & Film"},
    {"explicit", "false", nullptr},
    {"artwork", PF_DEFAULT_ARTWORK_URL, nullptr},
    {"lastBuildDate", nullptr, nullptr},
};

// The row of key (compared byte for byte), or nullptr.
constexpr const pf_channel_key *find_channel_key(std::string_view key) {
    for (const pf_channel_key &k : PF_CHANNEL_KEYS)
        if (key == k.key) return &k;
    return nullptr;
}

// What a feed shows for key while it is unset: its fallback, which must exist.
constexpr const char *channel_fallback(std::string_view key) { return find_channel_key(key)->fallback; }

// The settings in the order they were first set.
struct pf_channel_table {
    pf_channel_entry entries[kChannelEntries];
    int count;
};

// The stored value of key, or nullptr when the key is not set. An entry set
// to "" is present with an empty value.
const char *channel_lookup(const pf_channel_table &channel, const char *key);

// Sets key to value as feed_channel_set does, with its messages: 0 with the
// last-error text emptied, or -1 with the table unchanged.
int channel_set(pf_channel_table &channel, const char *key, const char *value);

}  // namespace pf
