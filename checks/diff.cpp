// Comparison with an earlier feed file: its items are matched to the current
// episodes by GUID and counted as added, removed, changed or unchanged.
#include <algorithm>
#include <climits>
#include <cstdint>
#include <deque>
#include <exception>
#include <new>
#include <string>
#include <string_view>
#include <unordered_map>

#include "checks/checks.h"
#include "checks/scans.h"
#include "core/error.h"
#include "core/feed_state.h"
#include "core/json.h"
#include "core/platform.h"
#include "core/text.h"
#include "episodes/episodes.h"
#include "quorvane_podcastfeed.h"

namespace pf {
namespace {

constexpr std::size_t npos = std::string_view::npos;

// The most bytes, with the terminating NUL, that an old item keeps of each
// text: the room of the episode's own field, so a long text the library
// wrote reads back whole.
constexpr std::size_t kGuidRoom = field_capacity("guid");
constexpr std::size_t kTitleRoom = field_capacity("title");
constexpr std::size_t kPubDateRoom = field_capacity("pubDate");
constexpr std::size_t kUrlRoom = field_capacity("url");

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
        const auto entity = std::find_if(std::begin(PF_XML_ENTITIES), std::end(PF_XML_ENTITIES),
                                         [rest](const XmlEntity &e) { return rest.starts_with(e.text); });
        if (entity == std::end(PF_XML_ENTITIES)) {
            out += '&';
            i = amp + 1;
        } else {
            out += entity->character;
            i = amp + entity->text.size();
        }
    }
    return out;
}

// Cuts text to room - 1 bytes as a fixed field would, never inside a UTF-8
// character.
void cut_to(std::string &text, std::size_t room) { text.resize(cut_length(text, room)); }

// The texts of the old items, each held as long as the file has it rather
// than in a fixed field. A value that decoding and the cut leave as it is
// stays a view into the file text; any other is kept in a string of its own,
// and a deque never moves those, so views of them last too.
class ItemTexts {
public:
    // The value of raw as a field of room bytes holds it: decoded first, so
    // a value whose escaped form is longer than the field still fills the
    // field as the episode's own text does. Valid until the next call.
    std::string_view look(std::string_view raw, std::size_t room) {
        if (raw.size() < room && raw.find('&') == npos) return raw;
        scratch_ = decode_entities(raw);
        cut_to(scratch_, room);
        return scratch_;
    }

    // A text look returned, made to last until the comparison ends.
    std::string_view keep(std::string_view looked) {
        if (looked.data() != scratch_.data()) return looked;
        return kept_.emplace_back(scratch_);
    }

private:
    std::string scratch_;
    std::deque<std::string> kept_;
};

// What the comparison needs of the items of one GUID: the texts of the first
// in file order, how many there are and whether an episode has that GUID.
struct GuidItems {
    std::string_view title;
    std::string_view pubDate;
    std::string_view url;
    std::size_t items = 0;
    bool matched = false;
};

// The old items, by GUID. An item without one can match no episode, so it
// is only counted.
struct OldItems {
    ItemTexts texts;
    std::unordered_map<std::string_view, GuidItems> by_guid;
    std::size_t without_guid = 0;
};

void read_item(std::string_view item, OldItems &old) {
    ItemTexts &texts = old.texts;
    const std::string_view guid = texts.look(value_after(item, "<guid isPermaLink=\"false\">", '<'), kGuidRoom);
    if (guid.empty()) {
        ++old.without_guid;
        return;
    }
    auto entry = old.by_guid.find(guid);
    if (entry == old.by_guid.end()) {
        entry = old.by_guid.emplace(texts.keep(guid), GuidItems{}).first;
        GuidItems &first = entry->second;
        first.title = texts.keep(texts.look(value_after(item, "<title>", '<'), kTitleRoom));
        first.pubDate = texts.keep(texts.look(value_after(item, "<pubDate>", '<'), kPubDateRoom));
        first.url = texts.keep(texts.look(enclosure_url(item), kUrlRoom));
    }
    ++entry->second.items;
}

// Reads every closed item in file order; an item left open at the end is not
// taken. Each item is read up to and including the '<' of its "</item>",
// which ends the item's last value.
void read_feed_items(std::string_view text, OldItems &old) {
    for_each_item(text, [&old](std::string_view item) { read_item({item.data(), item.size() + 1}, old); });
}

// The whole file as one text. The length is 64-bit, so a file of 2 GiB or
// more is read whole or refused, never taken in part.
int read_old_feed(const char *path, std::string *text) {
    const int read = read_small_file(path, INT64_MAX, text);
    if (read == -1) return fail("feed_diff: cannot open %s", path);
    if (read != 0) return fail("feed_diff: read error");
    if (text->empty()) return fail("feed_diff: empty file");
    return 0;
}

// What the reader of a feed the writer produced finds for a stored text: the
// writer drops XML-forbidden control bytes and replaces invalid UTF-8 while
// escaping, and the item field cuts the decoded text to its capacity.
std::string as_written(const char *stored, std::size_t capacity) {
    const std::string_view text_as_stored(stored);
    // Such a text reads back as it is stored, so it needs no round trip.
    if (escapes_unchanged(stored)) return std::string(text_as_stored.substr(0, capacity - 1));
    HeapText escaped = xml_escape(stored);
    if (!escaped) throw std::bad_alloc();
    std::string text = decode_entities(escaped.get());
    cut_to(text, capacity);
    return text;
}

bool same_as_item(const pf_episode &e, const GuidItems &item) {
    return as_written(e.title.c_str(), kTitleRoom) == item.title &&
           as_written(e.pubDate.c_str(), kPubDateRoom) == item.pubDate && as_written(e.url.c_str(), kUrlRoom) == item.url;
}

// The index stands in for the nested search: it keeps the first item of each
// GUID in file order, and an item is kept when any episode matched its GUID,
// which is the same as its GUID equalling some episode's.
Counts match_episodes(const pf_episode_table &eps, OldItems &old) {
    Counts counts;
    for (int i = 0; i < eps.count; ++i) {
        const pf_episode &e = eps[i];
        const std::string guid = as_written(e.guid.c_str(), kGuidRoom);
        const auto entry = guid.empty() ? old.by_guid.end() : old.by_guid.find(guid);
        if (entry == old.by_guid.end()) {
            ++counts.added;
            continue;
        }
        entry->second.matched = true;
        ++(same_as_item(e, entry->second) ? counts.unchanged : counts.changed);
    }
    std::size_t removed = old.without_guid;
    for (const auto &entry : old.by_guid)
        if (!entry.second.matched) removed += entry.second.items;
    counts.removed = static_cast<int>(std::min<std::size_t>(removed, INT_MAX));
    return counts;
}

int compare_with_file(pf_feed_state &st, const char *path) {
    if (!path || !*path) return fail("feed_diff: NULL path");
    // The items' texts point into the file text, so it lives until the counts are made.
    std::string text;
    if (read_old_feed(path, &text) != 0) return -1;
    OldItems old;
    // The file is taken as the C text a feed is: a NUL byte ends it.
    read_feed_items(text.c_str(), old);
    for (int i = 0; i < st.episodes.count; ++i)
        if (!ep_derive_urls(st.urls, st.episodes[i])) throw std::bad_alloc();
    const Counts counts = match_episodes(st.episodes, old);
    auto write = [&](JsonWriter &writer) {
        return writer.StartObject() && writer.Key("added") && writer.Int(counts.added) && writer.Key("removed") &&
               writer.Int(counts.removed) && writer.Key("changed") && writer.Int(counts.changed) &&
               writer.Key("unchanged") && writer.Int(counts.unchanged) && writer.Key("newest_pubDate") &&
               json_repaired_string(writer, newest_pub_date(st.episodes)) && writer.EndObject();
    };
    if (!write_json_result(st.out.diff_json, "", write)) throw std::bad_alloc();
    return 0;
}

const char *report_diff(pf_feed_state &st, const char *old_feed_path) {
    st.out.diff_json[0] = '\0';
    try {
        if (compare_with_file(st, old_feed_path) == 0) clear_err();
    } catch (const std::exception &) {
        // Memory for the index or a kept text ran out.
        fail("feed_diff: read error");
    }
    return st.out.diff_json;
}

}  // namespace
}  // namespace pf

extern "C" PF_API const char *feed_diff(const char *old_feed_path) {
    return pf::report_diff(pf::s_feed, old_feed_path);
}
