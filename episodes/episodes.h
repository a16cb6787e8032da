// The episode table, the URL settings and overrides, and the derivation of
// each episode's enclosure URL and GUID. Records hold fixed-capacity texts
// only, so an episode is copied by copying its record.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

#include "quorvane_podcastfeed.h"

namespace pf {

constexpr int kMaxEpisodes = PF_MAX_EPISODES;
constexpr int kMaxOverrides = 4096;

struct pf_episode {
    char file[1024];
    char title[1024];
    char description[4096];
    char image[2048];
    char author[1024];
    std::int32_t episode;
    std::int32_t season;
    std::int32_t block;
    char keywords[2048];
    char pubDate[64];
    char url[4096];
    char guid[2048];
    std::int64_t duration_s;
    std::int64_t size;
    char mime[64];
    char codec[32];
    std::int32_t bitrate_kbps;
    std::int32_t url_explicit;
    // Scratch texts that feed_episode_field returns for numeric fields.
    char duration[32];
    char duration_s_text[24];
    char size_text[24];
    char bitrate_kbps_text[16];
    char episode_text[16];
    char season_text[16];
    char block_text[16];
};

// The episodes in feed order. A record stays where it was first written and
// the table orders record numbers, so removing or moving an episode shifts
// small numbers instead of whole records, and a field pointer handed to the
// host stays on its episode's record.
struct pf_episode_table {
    // The record at a feed position. Positions from s_ep_n on name the free
    // records, the one at s_ep_n being the next to take; whoever takes it
    // zero-fills it first.
    pf_episode &operator[](int position) const;
};

extern const pf_episode_table s_eps;
extern int s_ep_n;

// One text field of the record as the host reaches it by name: every text
// field can be read, and the ones the host owns can also be set.
struct pf_text_field {
    const char *name;
    bool host_sets;  // feed_episode_set may write it
    std::span<char> (*of)(pf_episode &e);
};

// The text field called name (compared byte for byte), or nullptr.
const pf_text_field *find_text_field(std::string_view name);

// The host's number of e called name (episode, season, block), or nullptr.
std::int32_t *host_number(pf_episode &e, std::string_view name);

struct pf_override {
    char file[1024];
    char url[2048];
};

extern pf_override s_overrides[kMaxOverrides];
extern int s_override_n;

// Heap texts managed with set_grow; nullptr reads as "".
extern char *s_url_base;
extern char *s_url_local_root;
extern char *s_guid_prefix;

// Fills e.url and e.guid from the overrides and URL settings; a URL once
// derived (or set by the host) is kept.
void ep_derive_urls(pf_episode &e);

}  // namespace pf
