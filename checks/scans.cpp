// The validator's two scans over a rendered document: tag balance of the
// rss, channel and item elements, and the per-item element checks.
#include "checks/scans.h"

#include <array>
#include <cstddef>

namespace pf {
namespace {

constexpr std::size_t npos = std::string_view::npos;

// The position of the '>' ending the tag whose name starts at from, or npos
// when the text ends first. Quoted attribute values may hold '>'.
std::size_t tag_end(std::string_view text, std::size_t from) {
    for (std::size_t i = from; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '>') return i;
        if (c == '"' || c == '\'') {
            i = text.find(c, i + 1);
            if (i == npos) return npos;
        }
    }
    return npos;
}

struct TagHead {
    std::string_view name;
    bool self_closing = false;
};

// Only blanks separate the name from the attributes; a line feed does not.
// The whole tag is examined, so a long attribute list cannot hide the '/'
// that makes a tag self-closing.
TagHead read_tag_head(std::string_view content) {
    TagHead head;
    while (!content.empty() && content.back() == ' ') content.remove_suffix(1);
    if (!content.empty() && content.back() == '/') {
        head.self_closing = true;
        content.remove_suffix(1);
    }
    const std::size_t blank = content.find(' ');
    if (blank != npos) {
        if (blank + 1 < content.size() && content[blank + 1] == '/') head.self_closing = true;
        content = content.substr(0, blank);
    }
    const std::size_t colon = content.find(':');
    if (colon != npos) content.remove_prefix(colon + 1);
    head.name = content;
    return head;
}

constexpr std::array<std::string_view, 3> kCountedTags = {"rss", "channel", "item"};

// Applies one tag to the counters; false when a counter would go negative.
bool count_tag(std::array<int, 3> &counters, const TagHead &head, bool closing) {
    for (std::size_t k = 0; k < kCountedTags.size(); ++k) {
        if (head.name != kCountedTags[k]) continue;
        if (closing) return --counters[k] >= 0;
        if (!head.self_closing) ++counters[k];
        return true;
    }
    return true;
}

// After a marker is found, the byte behind it starts its value.
std::size_t after(std::string_view text, std::string_view marker) {
    const std::size_t at = text.find(marker);
    return at == npos ? npos : at + marker.size();
}

// A length attribute whose value does not close at once. A value running to
// the very end of the item is not an empty one.
bool length_given(std::string_view item) {
    const std::size_t value = after(item, "length=\"");
    return value != npos && (value == item.size() || item[value] != '"');
}

// A MIME type has a '/'; the tag's own "/>" also supplies one when the type
// is empty, which the rule accepts.
bool type_given(std::string_view item) {
    const std::size_t value = after(item, "type=\"");
    return value != npos && item.find('/', value) != npos;
}

bool duration_is_clock(std::string_view item) {
    const std::size_t value = after(item, "<itunes:duration>");
    if (value == npos) return false;
    const std::size_t end = item.find('<', value);
    return end != npos && item.substr(value, end - value).find(':') != npos;
}

void check_item(std::string_view item, ItemScan &scan) {
    if (contains(item, "<enclosure ")) {
        scan.length = scan.length && length_given(item);
        scan.type = scan.type && type_given(item);
    } else {
        scan.enclosure = false;
    }
    scan.guid = scan.guid && contains(item, "<guid isPermaLink=\"false\">");
    scan.pub_date = scan.pub_date && contains(item, "<pubDate>");
    scan.duration = scan.duration && duration_is_clock(item);
}

}  // namespace

bool tags_balance(std::string_view text) {
    std::array<int, 3> counters{};
    std::size_t i = text.find('<');
    while (i != npos) {
        if (i + 1 == text.size()) return false;
        const char next = text[i + 1];
        std::size_t resume;
        if (next == '?' || next == '!') {
            const std::string_view terminator = next == '?' ? "?>" : "-->";
            const std::size_t end = text.find(terminator, i);
            if (end == npos) return false;
            resume = end + terminator.size();
        } else {
            const std::size_t end = tag_end(text, i + 1);
            if (end == npos) return false;
            const bool closing = next == '/';
            const std::size_t start = closing ? i + 2 : i + 1;
            if (end <= start) return false;
            if (!count_tag(counters, read_tag_head(text.substr(start, end - start)), closing)) return false;
            resume = end + 1;
        }
        i = text.find('<', resume);
    }
    return counters == std::array<int, 3>{};
}

ItemScan scan_items(std::string_view text, int episode_count) {
    ItemScan scan;
    const bool all_closed = for_each_item(text, [&scan](std::string_view item) {
        ++scan.items;
        check_item(item, scan);
    });
    if (!all_closed || (episode_count != 0 && scan.items != episode_count)) scan.enclosure = false;
    return scan;
}

}  // namespace pf
