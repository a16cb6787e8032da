// Entity tags, HTTP dates and the conditional headers.
#include "validators.h"


#include "../dates.h"
#include "http_text.h"

namespace podcastfeed {
namespace {

// Two numbers in hex, quoted: the form of every tag the server makes.
std::string quoted_hex_pair(std::uint64_t a, std::uint64_t b) {
    static constexpr char kHex[] = "0123456789abcdef";
    std::string out = "\"";
    for (const std::uint64_t v : {a, b}) {
        if (out.size() > 1) out += '-';
        int shift = 60;
        while (shift > 0 && !((v >> shift) & 15)) shift -= 4;
        for (; shift >= 0; shift -= 4) out += kHex[(v >> shift) & 15];
    }
    out += '"';
    return out;
}

std::string_view opaque(std::string_view tag) {
    tag = trim_ows(tag);
    if (tag.starts_with("W/")) tag.remove_prefix(2);
    return tag;
}

bool none_match_lists(std::string_view header, const std::string &etag) {
    if (trim_ows(header) == "*") return true;
    // Tags hold no commas inside their quotes, so a split at commas keeps them whole.
    while (!header.empty()) {
        const auto comma = header.find(',');
        if (opaque(header.substr(0, comma)) == etag) return true;
        if (comma == std::string_view::npos) break;
        header.remove_prefix(comma + 1);
    }
    return false;
}

}  // namespace

std::string text_etag(std::string_view body) {
    // FNV-1a: any change to the text changes the tag, which is all a tag promises.
    std::uint64_t h = 14695981039346656037ull;
    for (const unsigned char c : body) h = (h ^ c) * 1099511628211ull;
    return quoted_hex_pair(h, body.size());
}

std::string file_etag(std::int64_t size, std::int64_t modified_ns) {
    return quoted_hex_pair(static_cast<std::uint64_t>(size), static_cast<std::uint64_t>(modified_ns));
}

std::string http_date(std::int64_t seconds) { return format_rfc1123(seconds); }

bool not_modified(const char *if_none_match, const char *if_modified_since, const Validators &v) {
    if (if_none_match) return none_match_lists(if_none_match, v.etag);
    if (!if_modified_since) return false;
    const auto since = parse_rfc1123(trim_ows(if_modified_since));
    return since && v.modified <= *since;
}

bool if_range_holds(const char *if_range, const Validators &v) {
    if (!if_range) return true;
    const std::string_view value = trim_ows(if_range);
    if (value.starts_with('"')) return value == v.etag;
    if (value.starts_with("W/")) return false;  // a weak tag never validates a part
    const auto date = parse_rfc1123(value);
    return date && *date == v.modified;
}

}  // namespace podcastfeed
