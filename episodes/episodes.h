// The episode table, the URL settings and overrides, and the derivation of
// each episode's enclosure URL and GUID. A record's texts hold what they
// hold, not their capacities: an episode costs what its texts take.
#pragma once

#include <cstddef>
#include <cstdint>
#include <limits>
#include <span>
#include <string_view>
#include <type_traits>

#include "core/bounded_text.h"
#include "quorvane_podcastfeed.h"

namespace pf {

constexpr int kMaxEpisodes = PF_MAX_EPISODES;
constexpr int kMaxOverrides = 4096;

// All zero is the empty record. Copying one copies its texts and may throw
// std::bad_alloc; moving one cannot fail.
struct pf_episode {
    BoundedText<1024> file;
    BoundedText<1024> title;
    BoundedText<4096> description;
    BoundedText<2048> image;
    BoundedText<1024> author;
    std::int32_t episode = 0;
    std::int32_t season = 0;
    std::int32_t block = 0;
    BoundedText<2048> keywords;
    BoundedText<64> pubDate;
    BoundedText<4096> url;
    BoundedText<2048> guid;
    std::int64_t duration_s = 0;
    std::int64_t size = 0;
    BoundedText<64> mime;
    BoundedText<32> codec;
    std::int32_t bitrate_kbps = 0;
    std::int32_t url_explicit = 0;
    // Scratch texts that feed_episode_field returns for numeric fields.
    char duration[32] = "";
    char duration_s_text[24] = "";
    char size_text[24] = "";
    char bitrate_kbps_text[16] = "";
    char episode_text[16] = "";
    char season_text[16] = "";
    char block_text[16] = "";

    bool operator==(const pf_episode &) const = default;
};

// The episodes in feed order. A record stays where it was first written and
// the table orders record numbers, so removing or moving an episode shifts
// small numbers instead of whole records, and a field pointer handed to the
// host stays on its episode's record. All zero is the empty table, so it
// needs no start-up step, and records never used are never written.
struct pf_episode_table {
    int count = 0;  // the episodes, at positions 0 to count - 1

    // The record at a feed position. Positions from count on name the free
    // records, the one at count being the next to take; whoever takes it
    // empties it first (assigning pf_episode{} releases its texts).
    pf_episode &operator[](int position);
    const pf_episode &operator[](int position) const;

    // The episode at position (below count) leaves the feed; its record
    // becomes the first free one, so the next episode added reuses it.
    void remove(int position);
    // The episode at from (below count) goes to position to, those between
    // moving up or down by one.
    void move(int from, int to);

    // Empty, and every position back on the record it had at load. The
    // records keep their texts until they are taken again.
    void reset() {
        count = 0;
        ordered_ = 0;
    }

private:
    using RecordNumber = std::uint16_t;
    static_assert(kMaxEpisodes - 1 <= std::numeric_limits<RecordNumber>::max());

    // Never destroyed, like the rest of the state: it lasts until the
    // process ends, and destroying 4096 records at exit would read every
    // page of them and free texts a late call could still reach.
    union Records {
        constexpr Records() : at() {}
        constexpr ~Records() {}
        pf_episode at[kMaxEpisodes];
    };

    void order_through(int end);

    Records records_;
    // The record numbers of positions 0 to ordered_ - 1, a permutation of
    // those numbers; every later position still names its own record.
    RecordNumber order_[kMaxEpisodes] = {};
    int ordered_ = 0;
};

// How a field is kept: a text in place, or a number the host reads through a
// scratch text of the record.
enum class FieldKind { text, int32, int64, clock };

// One field of the record as the host reaches it by name.
struct pf_field {
    const char *name;
    FieldKind kind;
    std::size_t capacity;  // bytes with the NUL: of the text, or of a number's scratch text
    bool host_sets;        // feed_episode_set may write it
    bool host_adds;        // feed_episode_add takes it from the host's object
    bool host_reads;       // feed_episode_field answers it
    // Text fields: the text (its data() a C text), and its replacement, cut
    // to the capacity (true when it fitted whole; throws std::bad_alloc with
    // the text as it was).
    std::string_view (*view)(const pf_episode &e);
    bool (*assign)(pf_episode &e, std::string_view text);
    // Number fields: the scratch text the host reads the number through.
    std::span<char> (*scratch)(pf_episode &e);
    std::int32_t pf_episode::*int32;  // int32 fields
    std::int64_t pf_episode::*int64;  // int64 and clock fields (the clock shows duration_s)
};

template <auto Text>
std::string_view field_view(const pf_episode &e) {
    return (e.*Text).view();
}

template <auto Text>
bool field_assign(pf_episode &e, std::string_view text) {
    return (e.*Text).assign(text);
}

template <auto Scratch>
constexpr std::span<char> field_scratch(pf_episode &e) {
    return e.*Scratch;
}

template <std::size_t N>
constexpr std::size_t capacity_of(BoundedText<N> pf_episode::*) {
    return N;
}

template <std::size_t N>
constexpr std::size_t capacity_of(char (pf_episode::*)[N]) {
    return N;
}

// A row whose accessors and capacity come from the one member, so they
// cannot disagree.
template <auto Text>
constexpr pf_field text_field(const char *name, bool host_sets, bool host_adds) {
    return {name, FieldKind::text, capacity_of(Text), host_sets, host_adds, true,
            field_view<Text>, field_assign<Text>, nullptr, nullptr, nullptr};
}

// A number and its scratch text; a clock shows its seconds as a duration.
template <auto Number, auto Scratch>
constexpr pf_field number_field(const char *name, bool host_sets, bool host_adds, bool clock = false) {
    pf_field f{name, FieldKind::int32, capacity_of(Scratch), host_sets, host_adds, true,
               nullptr, nullptr, field_scratch<Scratch>, nullptr, nullptr};
    if constexpr (std::is_same_v<decltype(Number), std::int32_t pf_episode::*>) {
        f.int32 = Number;
    } else {
        f.kind = clock ? FieldKind::clock : FieldKind::int64;
        f.int64 = Number;
    }
    return f;
}

// Every field, in record order. url, guid and the technical facts are not
// added from JSON: they come from the derivation, from feed_episode_set and
// from the file itself, which alone gives the technical facts.
inline constexpr pf_field PF_EPISODE_FIELDS[] = {
    // member(s), then name, feed_episode_set, feed_episode_add
    text_field<&pf_episode::file>("file", true, true),
    text_field<&pf_episode::title>("title", true, true),
    text_field<&pf_episode::description>("description", true, true),
    text_field<&pf_episode::image>("image", true, true),
    text_field<&pf_episode::author>("author", true, true),
    number_field<&pf_episode::episode, &pf_episode::episode_text>("episode", true, true),
    number_field<&pf_episode::season, &pf_episode::season_text>("season", true, true),
    number_field<&pf_episode::block, &pf_episode::block_text>("block", true, true),
    text_field<&pf_episode::keywords>("keywords", true, true),
    text_field<&pf_episode::pubDate>("pubDate", true, true),
    text_field<&pf_episode::url>("url", true, false),
    text_field<&pf_episode::guid>("guid", true, false),
    number_field<&pf_episode::duration_s, &pf_episode::duration>("duration", false, false, true),
    number_field<&pf_episode::duration_s, &pf_episode::duration_s_text>("duration_s", false, false),
    number_field<&pf_episode::size, &pf_episode::size_text>("size", false, false),
    text_field<&pf_episode::mime>("mime", false, false),
    text_field<&pf_episode::codec>("codec", false, false),
    number_field<&pf_episode::bitrate_kbps, &pf_episode::bitrate_kbps_text>("bitrate_kbps", false, false),
};

// The field called name (compared byte for byte), or nullptr.
constexpr const pf_field *find_field(std::string_view name) {
    for (const pf_field &field : PF_EPISODE_FIELDS)
        if (name == field.name) return &field;
    return nullptr;
}

// The capacity of the field called name, which must exist.
constexpr std::size_t field_capacity(std::string_view name) { return find_field(name)->capacity; }

struct pf_override {
    char file[1024];
    char url[2048];
};

// Everything the derivation of enclosure URLs and GUIDs reads.
struct pf_url_settings {
    // Heap texts managed with set_grow; nullptr reads as "".
    char *base;
    char *local_root;
    char *guid_prefix;
    // Only appended to, in the order the host set them.
    pf_override overrides[kMaxOverrides];
    int override_count;
};

// Fills e.url and e.guid from the overrides and URL settings; a URL once
// derived (or set by the host) is kept, and a text that comes out the same
// keeps its address. False, with "out of memory" set and both texts as they
// were, when memory runs out.
bool ep_derive_urls(const pf_url_settings &urls, pf_episode &e);

}  // namespace pf
