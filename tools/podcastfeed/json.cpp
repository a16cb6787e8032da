// JSON for the command: strict reading, first-member lookup, compact writing.
#include "json.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>

#include <rapidjson/reader.h>

namespace podcastfeed {
namespace {

// Length of the valid UTF-8 character at the start of s, or 0.
std::size_t utf8_length(std::string_view s) {
    const auto b = [&](std::size_t i) { return static_cast<unsigned char>(s[i]); };
    const auto cont = [&](std::size_t i) { return i < s.size() && (b(i) & 0xC0) == 0x80; };
    const unsigned char c = b(0);
    if (c < 0x80) return 1;
    if (c >= 0xC2 && c <= 0xDF) return cont(1) ? 2 : 0;
    if (c >= 0xE0 && c <= 0xEF) {
        if (!cont(1) || !cont(2) || (c == 0xE0 && b(1) < 0xA0) || (c == 0xED && b(1) >= 0xA0)) return 0;
        return 3;
    }
    if (c >= 0xF0 && c <= 0xF4) {
        if (!cont(1) || !cont(2) || !cont(3) || (c == 0xF0 && b(1) < 0x90) || (c == 0xF4 && b(1) >= 0x90)) return 0;
        return 4;
    }
    return 0;
}

}  // namespace

bool is_utf8(std::string_view s) {
    while (!s.empty()) {
        const std::size_t n = utf8_length(s);
        if (n == 0) return false;
        s.remove_prefix(n);
    }
    return true;
}

namespace {

// Numbers reach us as text: the reader's own exact conversion is undefined for
// some inputs (1e-400, 0e-30), and sidecars come from anywhere.
class StrictFilter {
public:
    explicit StrictFilter(JsonDoc &next) : next_(next) {}
    bool Null() { return next_.Null(); }
    bool Bool(bool b) { return next_.Bool(b); }
    bool Int(int i) { return next_.Int(i); }
    bool Uint(unsigned u) { return next_.Uint(u); }
    bool Int64(std::int64_t i) { return next_.Int64(i); }
    bool Uint64(std::uint64_t u) { return next_.Uint64(u); }
    bool Double(double d) { return next_.Double(d); }
    bool RawNumber(const char *s, rapidjson::SizeType n, bool) {
        std::int64_t i = 0;
        if (const auto [end, ec] = std::from_chars(s, s + n, i); end == s + n && ec == std::errc()) return next_.Int64(i);
        double d = 0.0;
        const auto [end, ec] = std::from_chars(s, s + n, d);
        if (end != s + n) return false;
        if (ec == std::errc::result_out_of_range) {
            // Too small to tell from zero reads as zero; too large is refused.
            const char *e = std::find_if(s, s + n, [](char c) { return c == 'e' || c == 'E'; });
            if (e == s + n || e[1] != '-') return false;
            d = 0.0;
        }
        return std::isfinite(d) && next_.Double(d);
    }
    bool String(const char *s, rapidjson::SizeType n, bool copy) {
        return is_utf8({s, n}) && next_.String(s, n, copy);
    }
    bool Key(const char *s, rapidjson::SizeType n, bool copy) { return is_utf8({s, n}) && next_.Key(s, n, copy); }
    bool StartObject() { return next_.StartObject(); }
    bool EndObject(rapidjson::SizeType n) { return next_.EndObject(n); }
    bool StartArray() { return next_.StartArray(); }
    bool EndArray(rapidjson::SizeType n) { return next_.EndArray(n); }

private:
    JsonDoc &next_;
};

}  // namespace

bool json_parse(std::string_view text, JsonDoc *doc) {
    // The reader's UTF-8 check reads the bytes a lead byte announces before
    // looking for the end, and a NUL would end its view early: both are
    // settled here, where the length is known.
    if (text.find('\0') != std::string_view::npos || !is_utf8(text)) return false;
    const std::string owned(text);
    bool ok = false;
    auto build = [&](JsonDoc &handler) {
        constexpr unsigned kFlags = rapidjson::kParseValidateEncodingFlag | rapidjson::kParseIterativeFlag |
                                    rapidjson::kParseNumbersAsStringsFlag;
        StrictFilter filter(handler);
        rapidjson::StringStream in(owned.c_str());
        rapidjson::Reader reader;
        ok = !reader.Parse<kFlags>(in, filter).IsError();
        return ok;
    };
    doc->Populate(build);
    return ok;
}

const JsonValue *json_member(const JsonValue &obj, const char *name) {
    if (!obj.IsObject()) return nullptr;
    const auto it = obj.FindMember(name);
    return it == obj.MemberEnd() ? nullptr : &it->value;
}

std::optional<std::string> json_text(const JsonValue &obj, const char *name) {
    const JsonValue *v = json_member(obj, name);
    if (!v || !v->IsString()) return std::nullopt;
    return std::string(v->GetString(), v->GetStringLength());
}

long long json_whole(const JsonValue &obj, const char *name) {
    const JsonValue *v = json_member(obj, name);
    if (!v || !v->IsNumber()) return 0;
    if (v->IsInt64()) return v->GetInt64();
    const double d = v->GetDouble();
    if (!(d > -9.2e18)) return INT64_MIN;
    if (!(d < 9.2e18)) return INT64_MAX;
    return static_cast<long long>(d);
}

std::string json_compact(const JsonValue &value) {
    rapidjson::StringBuffer out;
    JsonWriter w(out);
    value.Accept(w);
    return std::string(out.GetString(), out.GetSize());
}

void json_put_text(JsonWriter &w, std::string_view text) {
    std::string clean;
    clean.reserve(text.size());
    while (!text.empty()) {
        std::size_t n = utf8_length(text);
        if (n == 0) {
            clean += "\xEF\xBF\xBD";
            n = 1;
        } else {
            clean.append(text.substr(0, n));
        }
        text.remove_prefix(n);
    }
    w.String(clean.data(), static_cast<rapidjson::SizeType>(clean.size()));
}

}  // namespace podcastfeed
