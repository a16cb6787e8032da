// Public URLs of a folder's files: percent-encoded path segments joined by
// real slashes, so that no web server sees an encoded separator.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace podcastfeed {

// Every byte but letters, digits and - . _ ~ percent-encoded, as the library
// encodes enclosure names.
std::string percent_encode(std::string_view segment);

// Undoes percent_encode and every other %XX; false for a malformed escape.
bool percent_decode(std::string_view in, std::string *out);

// The non-empty segments of a path, split at any of the separators.
std::vector<std::string> path_segments(std::string_view path, std::string_view separators = "/\\");

// base, then "/" and each segment encoded.
std::string url_under(std::string_view base, const std::vector<std::string> &segments);

// The URL's path ("/a/b" of "http://h:1/a/b"), "" when it has none.
std::string url_path(std::string_view url);

// The URL's scheme, in lower case ("" when it has none).
std::string url_scheme(std::string_view url);

// The URL's host, in lower case, without port or brackets.
std::string url_host(std::string_view url);

}  // namespace podcastfeed
