// Comparison with an earlier feed file: its items are matched to the current
// episodes by GUID and counted as added, removed, changed or unchanged.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <new>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "checks/checks.h"
#include "core/error.h"
#include "core/platform.h"
#include "core/text.h"
#include "episodes/episodes.h"
#include "quorvane_podcastfeed.h"

namespace pf {
namespace {

char s_out[1024];

constexpr std::size_t npos = std::string_view::npos;

// One item of an older feed file, its texts decoded and cut to the fields.
struct pf_feed_item {
    char guid[2048];
    char title[1024];
    char pubDate[64];
    char url[4096];
};

// Large reads go in slices so no single call depends on the runtime
// accepting a count beyond 32 bits.
constexpr std::size_t kReadSlice = std::size_t{1} << 30;

struct Entity {
    std::string_view text;
    char character;
};

// Tried in this order at each '&'.
constexpr Entity kEntities[] = {
    {"&amp;", '&'}, {"&lt;", '<'}, {"&gt;", '>'}, {"&quot;", '"'}, {"&apos;", '\''},
};

struct Counts {
    int added = 0;
    int removed = 0;
    int changed = 0;
    int unchanged = 0;
};

// The text between marker and the next end byte, both inside item; empty
// when either is missing.
std::string_view value_after(std::string_view item, std::string_view marker, char end) {
    const std::size_t at = item.find(marker);
    if (at == npos) return {};
    const std::size_t start = at + marker.size();
    const std::size_t stop = item.find(end, start);
    return stop == npos ? std::string_view() : item.substr(start, stop - start);
}

std::string_view enclosure_url(std::string_view item) {
    const std::size_t tag = item.find("<enclosure ");
    return tag == npos ? std::string_view() : value_after(item.substr(tag), "url=\"", '"');
}

// Replaces the five entities the writer produces by their characters, left
// to right in one pass; any other '&' stays as it is.
std::string decode_entities(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    std::size_t i = 0;
    while (i < text.size()) {
        const std::size_t amp = text.find('&', i);
        out.append(text.substr(i, amp == npos ? npos : amp - i));
        if (amp == npos) break;
        const std::string_view rest = text.substr(amp);
        const auto entity = std::find_if(std::begin(kEntities), std::end(kEntities),
                                         [rest](const Entity &e) { return rest.starts_with(e.text); });
        if (entity == std::end(kEntities)) {
            out += '&';
            i = amp + 1;
        } else {
            out += entity->character;
            i = amp + entity->text.size();
        }
    }
    return out;
}

// Decoding comes first, so a value whose escaped form is longer than the
// field still fills the field as the episode's own text does.
template <std::size_t N>
void store_decoded(char (&field)[N], std::string_view raw) {
    copy_cut(field, decode_entities(raw));
}

void read_item(std::string_view item, pf_feed_item &out) {
    store_decoded(out.guid, value_after(item, "<guid isPermaLink=\"false\">", '<'));
    store_decoded(out.title, value_after(item, "<title>", '<'));
    store_decoded(out.pubDate, value_after(item, "<pubDate>", '<'));
    store_decoded(out.url, enclosure_url(item));
}

// Calls visit for every closed item, from "<item>" up to and including the
// '<' of its "</item>" (which ends the item's last value); returns the count.
template <typename Visit>
std::size_t each_item(std::string_view text, Visit visit) {
    std::size_t count = 0;
    std::size_t cursor = 0;
    for (;;) {
        const std::size_t open = text.find("<item>", cursor);
        if (open == npos) break;
        const std::size_t close = text.find("</item>", open);
        if (close == npos) break;
        visit(text.substr(open, close + 1 - open));
        ++count;
        cursor = close;
    }
    return count;
}

// The items in file order; an item left open at the end is not taken.
std::vector<pf_feed_item> read_feed_items(std::string_view text) {
    std::vector<pf_feed_item> items;
    // Records are large; sizing the table once spares copying it as it grows.
    items.reserve(each_item(text, [](std::string_view) {}));
    each_item(text, [&items](std::string_view item) { read_item(item, items.emplace_back()); });
    return items;
}

// The whole file as one NUL-terminated heap text. The length is 64-bit, so a
// file of 2 GiB or more is read whole or refused, never taken in part.
int read_old_feed(const char *path, HeapText *text) {
    File f = open_for_read(path);
    if (!f) return fail("feed_diff: cannot open %s", path);
    if (seek64(f.get(), 0, SEEK_END) != 0) return fail("feed_diff: read error");
    const std::int64_t length = tell64(f.get());
    if (length <= 0) return fail("feed_diff: empty file");
    if (static_cast<std::uint64_t>(length) >= SIZE_MAX || seek64(f.get(), 0, SEEK_SET) != 0)
        return fail("feed_diff: read error");
    const auto size = static_cast<std::size_t>(length);
    HeapText buffer(static_cast<char *>(std::malloc(size + 1)));
    if (!buffer) return fail("feed_diff: read error");
    std::size_t got = 0;
    while (got < size) {
        const std::size_t n = std::fread(buffer.get() + got, 1, std::min(size - got, kReadSlice), f.get());
        if (n == 0) break;
        got += n;
    }
    if (got < size) return fail("feed_diff: read error");
    buffer.get()[size] = '\0';
    *text = std::move(buffer);
    return 0;
}

// Printable ASCII other than the five escaped characters reaches the
// document as it is and reads back the same, so it needs no round trip.
bool passes_unchanged(std::string_view text) {
    return std::all_of(text.begin(), text.end(), [](char c) {
        return c >= 0x20 && c <= 0x7e && c != '&' && c != '<' && c != '>' && c != '"' && c != '\'';
    });
}

// What the reader of a feed the writer produced finds for a stored text: the
// writer drops XML-forbidden control bytes and replaces invalid UTF-8 while
// escaping, and the item field cuts the decoded text to its capacity.
std::string as_written(const char *stored, std::size_t capacity) {
    const std::string_view text_as_stored(stored);
    if (passes_unchanged(text_as_stored)) return std::string(text_as_stored.substr(0, capacity - 1));
    HeapText escaped = xml_escape(stored);
    if (!escaped) throw std::bad_alloc();
    std::string text = decode_entities(escaped.get());
    if (text.size() < capacity) return text;
    std::string cut(capacity, '\0');
    copy_cut(cut.data(), capacity, text);
    cut.resize(std::strlen(cut.c_str()));
    return cut;
}

bool same_as_item(const pf_episode &e, const pf_feed_item &item) {
    return as_written(e.title, sizeof item.title) == item.title &&
           as_written(e.pubDate, sizeof item.pubDate) == item.pubDate &&
           as_written(e.url, sizeof item.url) == item.url;
}

// An index replaces the nested search: the map keeps the first item of each
// GUID in file order, and an item is kept when any episode matched its GUID,
// which is the same as its GUID equalling some episode's.
Counts match_episodes(const std::vector<pf_feed_item> &items) {
    std::unordered_map<std::string_view, const pf_feed_item *> first_of_guid;
    first_of_guid.reserve(items.size());
    for (const pf_feed_item &item : items)
        if (item.guid[0] != '\0') first_of_guid.emplace(item.guid, &item);

    Counts counts;
    std::unordered_set<std::string_view> matched;
    for (int i = 0; i < s_ep_n; ++i) {
        const pf_episode &e = s_eps[i];
        const std::string guid = as_written(e.guid, sizeof(pf_feed_item::guid));
        const auto hit = guid.empty() ? first_of_guid.end() : first_of_guid.find(guid);
        if (hit == first_of_guid.end()) {
            ++counts.added;
            continue;
        }
        matched.insert(hit->first);
        ++(same_as_item(e, *hit->second) ? counts.unchanged : counts.changed);
    }
    for (const pf_feed_item &item : items)
        if (item.guid[0] == '\0' || !matched.contains(item.guid)) ++counts.removed;
    return counts;
}

int compare_with_file(const char *path) {
    if (!path || !*path) return fail("feed_diff: NULL path");
    std::vector<pf_feed_item> items;
    {
        HeapText text;
        if (read_old_feed(path, &text) != 0) return -1;
        items = read_feed_items(text.get());
    }
    for (int i = 0; i < s_ep_n; ++i) ep_derive_urls(s_eps[i]);
    const Counts counts = match_episodes(items);
    const std::string newest = json_escape(newest_pub_date());
    std::snprintf(s_out, sizeof s_out,
                  "{\"added\":%d,\"removed\":%d,\"changed\":%d,\"unchanged\":%d,\"newest_pubDate\":\"%s\"}",
                  counts.added, counts.removed, counts.changed, counts.unchanged, newest.c_str());
    return 0;
}

}  // namespace
}  // namespace pf

extern "C" PF_API const char *feed_diff(const char *old_feed_path) {
    using namespace pf;
    s_out[0] = '\0';
    try {
        if (compare_with_file(old_feed_path) == 0) clear_err();
    } catch (const std::exception &) {
        // Memory for the item table, the index or a text ran out.
        fail("feed_diff: read error");
    }
    return s_out;
}
