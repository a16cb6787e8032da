// Validators of what the server sends (entity tags and modification times)
// and the conditional request headers judged against them.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace podcastfeed {

struct Validators {
    std::string etag;       // a strong tag, quotes included
    std::int64_t modified;  // seconds since 1970, the Last-Modified
};

// The tag of a text body: changes whenever the text does.
std::string text_etag(std::string_view body);

// The tag of a file: changes with its size or modification time.
std::string file_etag(std::int64_t size, std::int64_t modified_ns);

// The HTTP date of a time ("Sun, 06 Nov 1994 08:49:37 GMT").
std::string http_date(std::int64_t seconds);

// Whether If-None-Match (or, without it, If-Modified-Since) says the client
// holds this version already: the answer is then 304. Null for an absent header.
bool not_modified(const char *if_none_match, const char *if_modified_since, const Validators &v);

// Whether a Range may apply: no If-Range, or one naming this version (its
// strong tag or exactly its date). Otherwise the whole body is sent.
bool if_range_holds(const char *if_range, const Validators &v);

}  // namespace podcastfeed
