// Strict JSON reading and compact writing on one set of rules for the whole
// library: standard JSON only, valid UTF-8, nothing after the value, the first
// member of a name wins, and a value the writer refuses yields no text.
// Every JSON text the library hands out is made by the one writer here.
#pragma once

#include <cstddef>
#include <cstdint>
#include <new>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include <rapidjson/document.h>
#include <rapidjson/stringbuffer.h>
#include <rapidjson/writer.h>

#include "core/text.h"

namespace pf {

// The reader's and writer's memory. RapidJSON writes through whatever block
// it is handed, so memory running out is thrown as std::bad_alloc here, for
// the exported operation to report, instead of handing it a null block.
class JsonAllocator {
public:
    static const bool kNeedFree = true;
    void *Malloc(std::size_t size);
    void *Realloc(void *block, std::size_t old_size, std::size_t new_size);
    static void Free(void *block);
};

using JsonDoc = rapidjson::GenericDocument<rapidjson::UTF8<>, rapidjson::MemoryPoolAllocator<JsonAllocator>, JsonAllocator>;
using JsonValue = JsonDoc::ValueType;
using JsonText = rapidjson::GenericStringBuffer<rapidjson::UTF8<>, JsonAllocator>;
using JsonWriter =
    rapidjson::Writer<JsonText, rapidjson::UTF8<>, rapidjson::UTF8<>, JsonAllocator, rapidjson::kWriteValidateEncodingFlag>;

// Writes text as a string value with every invalid UTF-8 sequence as U+FFFD,
// for texts from files and hosts that a result must carry whatever they hold.
bool json_repaired_string(JsonWriter &writer, std::string_view text);

// The string value's content as the writer spells it (no quotes), invalid
// UTF-8 repaired as above.
std::string json_escape(std::string_view text);

// Makes a result text: what write produces with the writer, copied into
// buffer and cut like every result text, or fallback when write returns false
// (a value the writer refuses). False, with fallback in buffer, when memory
// ran out.
template <typename Write>
bool write_json_result(std::span<char> buffer, std::string_view fallback, Write &&write);

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

template <typename Write>
bool write_json_result(std::span<char> buffer, std::string_view fallback, Write &&write) {
    try {
        JsonText text;
        JsonWriter writer(text);
        const bool written = write(writer) && writer.IsComplete();
        copy_cut(buffer.data(), buffer.size(), written ? std::string_view(text.GetString(), text.GetSize()) : fallback);
        return true;
    } catch (const std::bad_alloc &) {
        copy_cut(buffer.data(), buffer.size(), fallback);
        return false;
    }
}

}  // namespace pf
