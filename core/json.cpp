// Strict JSON reading and re-serialising on RapidJSON, with the checks that
// make it refuse what standard JSON refuses.
#include "core/json.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <new>
#include <string_view>

#include <rapidjson/reader.h>

#include "core/number.h"
#include "core/text.h"

namespace pf {

namespace {

// Iterative, so that deep nesting cannot exhaust the host's stack. Numbers
// come as text and are converted here: the reader's own exact conversion
// indexes a table by the exponent without a bounds check (1e-400) and hands
// zero to clz (0e-30), both undefined.
constexpr unsigned kParseFlags = rapidjson::kParseValidateEncodingFlag | rapidjson::kParseIterativeFlag |
                                 rapidjson::kParseNumbersAsStringsFlag;

// The decimal exponent of a number's leading digit: for a number other than
// zero, that of its leading non-zero digit (the value lies in
// [10^e, 10^(e+1))); for a zero, that of its last written digit. Saturates far
// beyond any double's.
std::int64_t leading_exponent(std::string_view number) {
    if (number.starts_with('-')) number.remove_prefix(1);
    const std::size_t exp_at = std::min(number.find_first_of("eE"), number.size());
    const std::string_view mantissa = number.substr(0, exp_at);
    std::string_view digits = number.substr(std::min(exp_at + 1, number.size()));
    const bool negative = digits.starts_with('-');
    if (negative || digits.starts_with('+')) digits.remove_prefix(1);
    std::int64_t exp = 0;
    for (const char c : digits) exp = std::min<std::int64_t>(exp * 10 + (c - '0'), 1'000'000'000);
    if (negative) exp = -exp;

    const std::size_t point = std::min(mantissa.find('.'), mantissa.size());
    const std::size_t first = mantissa.find_first_of("123456789");
    if (first == std::string_view::npos) {
        const std::size_t fraction_digits = point < mantissa.size() ? mantissa.size() - point - 1 : 0;
        return exp - static_cast<std::int64_t>(fraction_digits);
    }
    return exp + (first < point ? static_cast<std::int64_t>(point - first) - 1
                                : -static_cast<std::int64_t>(first - point));
}

// Hands a number on as the reader would have: integers that fit 64 bits as
// integers, everything else as the correctly rounded double. A number beyond
// the double range is refused; one below its smallest value rounds to a zero
// of its sign.
template <typename Next>
bool emit_number(Next &next, std::string_view text) {
    const char *first = text.data();
    const char *last = first + text.size();
    if (text.find_first_of(".eE") == std::string_view::npos) {
        if (text.starts_with('-')) {
            std::int64_t i = 0;
            if (std::from_chars(first, last, i).ec == std::errc())
                return i >= INT32_MIN ? next.Int(static_cast<int>(i)) : next.Int64(i);
        } else {
            std::uint64_t u = 0;
            if (std::from_chars(first, last, u).ec == std::errc())
                return u <= UINT32_MAX ? next.Uint(static_cast<unsigned>(u)) : next.Uint64(u);
        }
    }
    const std::int64_t lead = leading_exponent(text);
    if (lead > 308) return false;
    const double zero = text.starts_with('-') ? -0.0 : 0.0;
    // Every such value lies below half the smallest double; the conversion is
    // spared exponents far outside its range.
    if (lead < -324) return next.Double(zero);
    double d = 0.0;
    const auto [end, ec] = std::from_chars(first, last, d);
    // Only an underflow is out of range and still a number, and the
    // conversion leaves its result unset then.
    const bool underflow = ec == std::errc::result_out_of_range && lead < 0;
    if (end != last || (ec != std::errc() && !underflow) || !std::isfinite(d)) return false;
    return next.Double(underflow ? zero : d);
}

// Passes every event on to next, refusing what the reader lets through and
// standard JSON does not: a lone low surrogate escape (decoded into bytes
// that are not UTF-8) and a number too large for a double.
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
    bool RawNumber(const char *s, rapidjson::SizeType n, bool) { return emit_number(next_, {s, n}); }
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

// The reader's own UTF-8 check takes the continuation bytes a lead byte
// announces without looking for the terminator, so a text that ends inside a
// multi-byte character would be read past its end: the bytes are checked here
// first, where the length is known.
// The NUL-terminated stream, unlike the sized one, does not skip a byte-order
// mark, so a text starting with one is refused as standard JSON requires.
template <typename Handler>
bool read_strictly(const char *text, Handler &handler) {
    if (!text || !is_valid_utf8(text)) return false;
    StrictFilter<Handler> filter(handler);
    rapidjson::StringStream in(text);
    rapidjson::GenericReader<rapidjson::UTF8<>, rapidjson::UTF8<>, JsonAllocator> reader;
    return !reader.Parse<kParseFlags>(in, filter).IsError();
}

}  // namespace

void *JsonAllocator::Malloc(std::size_t size) {
    // RapidJSON asks for nothing at times and expects a null block then.
    if (size == 0) return nullptr;
    void *block = std::malloc(size);
    if (!block) throw std::bad_alloc();
    return block;
}

void *JsonAllocator::Realloc(void *block, std::size_t, std::size_t new_size) {
    if (new_size == 0) {
        std::free(block);
        return nullptr;
    }
    void *grown = std::realloc(block, new_size);
    if (!grown) throw std::bad_alloc();
    return grown;
}

void JsonAllocator::Free(void *block) { std::free(block); }

bool json_repaired_string(JsonWriter &writer, std::string_view text) {
    if (is_valid_utf8(text)) return writer.String(text.data(), static_cast<rapidjson::SizeType>(text.size()));
    const std::string repaired = utf8_repaired(text);
    return writer.String(repaired.data(), static_cast<rapidjson::SizeType>(repaired.size()));
}

std::string json_escape(std::string_view text) {
    JsonText out;
    JsonWriter writer(out);
    json_repaired_string(writer, text);
    // Between the quotation marks the writer put around the value.
    return std::string(out.GetString() + 1, out.GetSize() - 2);
}

bool json_parse(const char *text, JsonDoc *doc) {
    bool ok = false;
    auto build = [&](JsonDoc &handler) { return ok = read_strictly(text, handler); };
    doc->Populate(build);
    return ok;
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
    JsonText buffer;
    JsonWriter writer(buffer);
    if (!read_strictly(text, writer) || !writer.IsComplete()) return false;
    out->assign(buffer.GetString(), buffer.GetSize());
    return true;
}

}  // namespace pf
