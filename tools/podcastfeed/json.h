// JSON for the command, on the library's own rules: strict standard JSON with
// valid UTF-8, the first member of a name wins, and compact output whose
// strings the writer has checked.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include <rapidjson/document.h>
#include <rapidjson/stringbuffer.h>
#include <rapidjson/writer.h>

namespace podcastfeed {

using JsonDoc = rapidjson::Document;
using JsonValue = rapidjson::Value;
using JsonWriter = rapidjson::Writer<rapidjson::StringBuffer, rapidjson::UTF8<>, rapidjson::UTF8<>,
                                     rapidjson::CrtAllocator, rapidjson::kWriteValidateEncodingFlag>;

bool is_utf8(std::string_view text);

// Parses text strictly; false on any error (the root's type is the caller's to check).
bool json_parse(std::string_view text, JsonDoc *doc);

// The first member of obj called name, or nullptr.
const JsonValue *json_member(const JsonValue &obj, const char *name);

// A string member's text; nullopt when absent or not a string.
std::optional<std::string> json_text(const JsonValue &obj, const char *name);

// A number member as a whole number; 0 when absent or not a number.
long long json_whole(const JsonValue &obj, const char *name);

// Compact text of a value.
std::string json_compact(const JsonValue &value);

// Writes a text as a JSON string; bytes that are not UTF-8 become U+FFFD, so
// a file name from any file system still gives valid JSON.
void json_put_text(JsonWriter &w, std::string_view text);

}  // namespace podcastfeed
