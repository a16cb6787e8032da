// Text rules shared by the header readers.
#pragma once

#include <string_view>

namespace podcastfeed {

// A header value without the blanks HTTP allows around it.
inline std::string_view trim_ows(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
    return s;
}

}  // namespace podcastfeed
