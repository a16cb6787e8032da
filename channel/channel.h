// The channel settings table: feed-level texts set key by key.
#pragma once

#include <cstddef>

namespace pf {

constexpr int kChannelEntries = 16;
constexpr std::size_t kChannelKeyCapacity = 64;
constexpr std::size_t kChannelValueCapacity = 4096;

struct pf_channel_entry {
    char key[kChannelKeyCapacity];
    char value[kChannelValueCapacity];
};

extern pf_channel_entry s_channel[kChannelEntries];
extern int s_channel_n;

// The stored value of key, or nullptr when the key is not set. An entry set
// to "" is present with an empty value.
const char *channel_lookup(const char *key);

}  // namespace pf
