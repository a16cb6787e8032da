// Textual checks of an RSS document: the tag balance scan and the item scan.
// They work on any text, not only on what the feed writer produces.
#pragma once

#include <cstddef>
#include <string_view>

namespace pf {

inline bool contains(std::string_view text, std::string_view part) {
    return text.find(part) != std::string_view::npos;
}

// True when the rss, channel and item tags open and close in equal numbers,
// with no closing tag before its opening one, and every tag, comment and
// processing instruction of text is terminated.
bool tags_balance(std::string_view text);

// What the item scan found: one flag per item rule, true while no item has
// failed it, and the number of closed items.
struct ItemScan {
    bool enclosure = true;
    bool length = true;
    bool type = true;
    bool guid = true;
    bool pub_date = true;
    bool duration = true;
    int items = 0;
};

// Hands every closed item of text to visit in order, from its "<item>" up to
// its "</item>", which follows it in text. False when an item is left open at
// the end.
template <typename Visit>
bool for_each_item(std::string_view text, Visit visit) {
    constexpr std::size_t npos = std::string_view::npos;
    for (std::size_t cursor = 0;;) {
        const std::size_t open = text.find("<item>", cursor);
        if (open == npos) return true;
        const std::size_t close = text.find("</item>", open);
        if (close == npos) return false;
        visit(text.substr(open, close - open));
        cursor = close;
    }
}

// Examines every closed <item> of text whole. An item left open, or an item
// count other than episode_count (when that is not 0), fails the enclosure
// flag.
ItemScan scan_items(std::string_view text, int episode_count);

}  // namespace pf
