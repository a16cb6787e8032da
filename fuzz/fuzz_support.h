// What every fuzz target shares: a scratch folder of its own process, the
// fuzzer's bytes as a file or as a NUL-terminated text, and the checks a host
// relies on for every text the library hands back.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace pf_fuzz {

// A folder created on first use and removed with everything in it when the
// process exits, so parallel fuzzing jobs never share files.
const std::string &scratch_dir();

// scratch_dir() + "/" + name.
std::string scratch_path(std::string_view name);

// Replaces the file at path with exactly these bytes; aborts when it cannot,
// since a fuzzer that silently probes a stale file explores nothing.
void write_bytes(const std::string &path, const std::uint8_t *data, std::size_t size);

// The bytes as a text, cut at the first NUL, as a C host would pass them.
std::string as_text(const std::uint8_t *data, std::size_t size);

// Aborts (a finding for the fuzzer) unless text is non-NULL and is either
// empty (when allowed) or a JSON object or array under the library's strict
// reader.
void require_json(const char *text, bool empty_allowed);

// Aborts unless doc is a well-formed XML document (an empty text, the sign of
// a failed rendering, is let through): whatever a host put into the feed, a
// reader of the feed must still be able to parse it.
void require_well_formed(const char *doc);

// Aborts unless the condition holds; the message names the broken promise.
void require(bool condition, const char *what);

}  // namespace pf_fuzz
