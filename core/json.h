// Strict JSON reading and compact writing on one set of rules for the whole
// library: standard JSON only, valid UTF-8, nothing after the value, the first
// member of a name wins, and a value the writer refuses yields no text.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include <rapidjson/document.h>
#include <rapidjson/stringbuffer.h>
#include <rapidjson/writer.h>

namespace pf {

using JsonDoc = rapidjson::Document;
using JsonValue = rapidjson::Value;
using JsonWriter = rapidjson::Writer<rapidjson::StringBuffer, rapidjson::UTF8<>, rapidjson::UTF8<>,
                                     rapidjson::CrtAllocator, rapidjson::kWriteValidateEncodingFlag>;

// Parses text strictly (no NUL byte, valid UTF-8 and surrogates, no number
// overflowing to infinity, nesting handled without recursion). False on any
// error; the root type is for the caller to check.
bool json_parse(const char *text, JsonDoc *doc);

// The first member of obj called name, or nullptr.
const JsonValue *json_member(const JsonValue &obj, const char *name);

// A string member's text; nullopt when absent or not a string.
std::optional<std::string_view> json_string(const JsonValue &obj, const char *name);

// A number member truncated and saturated; nullopt when absent or not a number.
std::optional<std::int32_t> json_int32(const JsonValue &obj, const char *name);
std::optional<std::int64_t> json_int64(const JsonValue &obj, const char *name);

// Re-serialises JSON text compactly by streaming it through the strict reader
// into the writer (no recursion). False when the text is not valid JSON.
bool json_rewrite(const char *text, std::string *out);

}  // namespace pf
