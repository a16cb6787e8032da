// Single byte ranges: first-last, first- and -suffix.
#include "ranges.h"

#include <algorithm>
#include <cctype>
#include <limits>
#include <optional>
#include <string_view>

#include "http_text.h"

namespace podcastfeed {
namespace {

constexpr std::int64_t kHuge = std::numeric_limits<std::int64_t>::max();

// Digits to a number, saturating: a position past any file is still a position.
std::optional<std::int64_t> number(std::string_view s) {
    if (s.empty()) return std::nullopt;
    std::int64_t v = 0;
    for (const char c : s) {
        if (!std::isdigit(static_cast<unsigned char>(c))) return std::nullopt;
        const int d = c - '0';
        v = v > (kHuge - d) / 10 ? kHuge : v * 10 + d;
    }
    return v;
}


bool unit_is_bytes(std::string_view unit) {
    constexpr std::string_view kBytes = "bytes";
    return unit.size() == kBytes.size() && std::equal(unit.begin(), unit.end(), kBytes.begin(), [](char a, char b) {
               return std::tolower(static_cast<unsigned char>(a)) == b;
           });
}

}  // namespace

ByteRange byte_range(const char *header, std::int64_t size) {
    if (!header) return {};
    std::string_view h = header;
    const auto eq = h.find('=');
    if (eq == std::string_view::npos || !unit_is_bytes(trim_ows(h.substr(0, eq)))) return {};
    const std::string_view wanted = trim_ows(h.substr(eq + 1));
    if (wanted.find(',') != std::string_view::npos) return {};
    const auto dash = wanted.find('-');
    if (dash == std::string_view::npos) return {};
    const std::string_view first_text = trim_ows(wanted.substr(0, dash)), last_text = trim_ows(wanted.substr(dash + 1));
    if (first_text.empty()) {
        const auto suffix = number(last_text);
        if (!suffix) return {};
        if (*suffix == 0 || size == 0) return {ByteRange::unsatisfiable};
        const std::int64_t length = std::min(*suffix, size);
        return {ByteRange::part, size - length, length};
    }
    const auto first = number(first_text);
    if (!first) return {};
    std::int64_t last = kHuge;
    if (!last_text.empty()) {
        const auto given = number(last_text);
        if (!given || *given < *first) return {};
        last = *given;
    }
    if (*first >= size) return {ByteRange::unsatisfiable};
    last = std::min(last, size - 1);
    return {ByteRange::part, *first, last - *first + 1};
}

}  // namespace podcastfeed
