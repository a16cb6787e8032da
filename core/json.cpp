// Strict JSON reading and re-serialising on RapidJSON, with the checks that
// make it refuse what standard JSON refuses.
#include "core/json.h"

#include <cmath>

#include <rapidjson/reader.h>

#include "core/number.h"
#include "core/text.h"

namespace pf {

namespace {

// Iterative, so that deep nesting cannot exhaust the host's stack.
constexpr unsigned kParseFlags =
    rapidjson::kParseValidateEncodingFlag | rapidjson::kParseIterativeFlag | rapidjson::kParseFullPrecisionFlag;

// Passes every event on to next, refusing the two things the reader lets
// through: a lone low surrogate escape (decoded into bytes that are not UTF-8)
// and a number too large for a double.
template <typename Next>
class StrictFilter {
public:
    explicit StrictFilter(Next &next) : next_(next) {}

    bool Null() { return next_.Null(); }
    bool Bool(bool b) { return next_.Bool(b); }
    bool Int(int i) { return next_.Int(i); }
    bool Uint(unsigned u) { return next_.Uint(u); }
    bool Int64(std::int64_t i) { return next_.Int64(i); }
    bool Uint64(std::uint64_t u) { return next_.Uint64(u); }
    bool Double(double d) { return std::isfinite(d) && next_.Double(d); }
    bool RawNumber(const char *s, rapidjson::SizeType n, bool copy) { return next_.RawNumber(s, n, copy); }
    bool String(const char *s, rapidjson::SizeType n, bool copy) {
        return is_valid_utf8({s, n}) && next_.String(s, n, copy);
    }
    bool Key(const char *s, rapidjson::SizeType n, bool copy) { return is_valid_utf8({s, n}) && next_.Key(s, n, copy); }
    bool StartObject() { return next_.StartObject(); }
    bool EndObject(rapidjson::SizeType n) { return next_.EndObject(n); }
    bool StartArray() { return next_.StartArray(); }
    bool EndArray(rapidjson::SizeType n) { return next_.EndArray(n); }

private:
    Next &next_;
};

// The NUL-terminated stream, unlike the sized one, does not skip a byte-order
// mark, so a text starting with one is refused as standard JSON requires.
template <typename Handler>
bool read_strictly(const char *text, Handler &handler) {
    if (!text) return false;
    StrictFilter<Handler> filter(handler);
    rapidjson::StringStream in(text);
    rapidjson::Reader reader;
    return !reader.Parse<kParseFlags>(in, filter).IsError();
}

}  // namespace

bool json_parse(const char *text, JsonDoc *doc) {
    // The document cannot take the filter as its handler, so the text is
    // checked in one pass and built in a second.
    rapidjson::BaseReaderHandler<> sink;
    if (!read_strictly(text, sink)) return false;
    doc->Parse<kParseFlags>(text);
    return !doc->HasParseError();
}

const JsonValue *json_member(const JsonValue &obj, const char *name) {
    if (!obj.IsObject() || !name) return nullptr;
    const auto it = obj.FindMember(name);
    return it == obj.MemberEnd() ? nullptr : &it->value;
}

std::optional<std::string_view> json_string(const JsonValue &obj, const char *name) {
    const JsonValue *v = json_member(obj, name);
    if (!v || !v->IsString()) return std::nullopt;
    return std::string_view(v->GetString(), v->GetStringLength());
}

std::optional<std::int32_t> json_int32(const JsonValue &obj, const char *name) {
    const JsonValue *v = json_member(obj, name);
    if (!v || !v->IsNumber()) return std::nullopt;
    return sat_i32(v->GetDouble());
}

std::optional<std::int64_t> json_int64(const JsonValue &obj, const char *name) {
    const JsonValue *v = json_member(obj, name);
    if (!v || !v->IsNumber()) return std::nullopt;
    return sat_i64(v->GetDouble());
}

bool json_rewrite(const char *text, std::string *out) {
    rapidjson::StringBuffer buffer;
    JsonWriter writer(buffer);
    if (!read_strictly(text, writer) || !writer.IsComplete()) return false;
    out->assign(buffer.GetString(), buffer.GetSize());
    return true;
}

}  // namespace pf
