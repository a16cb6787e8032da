// Publication dates: the RFC 1123 form feeds carry and the ISO 8601 form
// people type, both to seconds since 1970 UTC and back.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace podcastfeed {

// "Tue, 02 Jan 2024 03:04:05 GMT" (a numeric zone such as +0100 too).
std::optional<std::int64_t> parse_rfc1123(std::string_view text);

// "2024-01-02T03:04:05Z", with an optional fraction and a zone such as
// +01:00, or a date alone ("2024-01-02", midnight UTC).
std::optional<std::int64_t> parse_iso8601(std::string_view text);

// Either form.
std::optional<std::int64_t> parse_pub_date(std::string_view text);

std::string format_rfc1123(std::int64_t seconds);

}  // namespace podcastfeed
