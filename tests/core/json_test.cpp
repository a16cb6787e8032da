// The strict JSON reader, member access and compact re-serialising.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <string>

#include "core/json.h"

namespace {

bool parses(const std::string &text) {
    pf::JsonDoc doc;
    return pf::json_parse(text.c_str(), &doc);
}

const std::string kDeepOpen(100000, '[');
const std::string kDeepClose(100000, ']');

}  // namespace

TEST(JsonParse, AcceptsStandardJson) {
    const char *const cases[] = {
        "{\"a\":1}",
        " [ 1 , -2.5e3 , true , false , null ] ",
        "\"text\"",
        "1.7976931348623157e308",
        "{\"note\":\"\\uD83C\\uDFB5 \xF0\x9F\x8E\xB5 \\u00e9\"}",
        "{\"a\":{\"b\":[{}]}}",
    };
    for (const char *text : cases) EXPECT_TRUE(parses(text)) << text;
    EXPECT_TRUE(parses(kDeepOpen + kDeepClose)) << "deep but balanced nesting";
}

TEST(JsonParse, RefusesWhatStandardJsonRefuses) {
    const char *const cases[] = {
        "",
        "   ",
        "{",
        "{\"a\":1} x",                // trailing text
        "{\"a\":1}{}",
        "\xEF\xBB\xBF{}",             // byte-order mark
        "{\"a\":\"\\uDC00\"}",        // lone low surrogate
        "{\"a\":\"\\uD800\"}",        // lone high surrogate
        "{\"\\uDC00\":1}",            // in a member name too
        "1.8e308",                    // overflows to infinity
        "[-1.8e308]",
        "[1e400]",
        "{\"a\":\"\xFF\"}",           // not UTF-8
        "{\"a\":\"\xED\xA0\x80\"}",   // encoded surrogate
        "[1,]",
        "{\"a\":1,}",
        "{'a':1}",
        "[NaN]",
        "[01]",
        "[\"a\x01\"]",                // raw control character
        "/* c */ {}",
    };
    for (const char *text : cases) EXPECT_FALSE(parses(text)) << text;
    EXPECT_FALSE(parses(kDeepOpen)) << "deep unbalanced nesting";
    pf::JsonDoc doc;
    EXPECT_FALSE(pf::json_parse(nullptr, &doc));
}

TEST(JsonMembers, FirstOfANameWinsAndWrongTypesCountAsAbsent) {
    pf::JsonDoc doc;
    ASSERT_TRUE(pf::json_parse(
        "{\"n\":7.9,\"n\":2,\"s\":\"x\\u0000y\",\"big\":1e20,\"neg\":-1e20,\"str\":\"5\",\"nul\":null,"
        "\"a\\u0000b\":1}",
        &doc));
    EXPECT_EQ(pf::json_int32(doc, "n"), 7);
    EXPECT_EQ(pf::json_int64(doc, "n"), 7);
    EXPECT_EQ(pf::json_string(doc, "s"), std::string_view("x\0y", 3));
    EXPECT_EQ(pf::json_int32(doc, "big"), 2147483647);
    EXPECT_EQ(pf::json_int64(doc, "big"), INT64_MAX);
    EXPECT_EQ(pf::json_int64(doc, "neg"), INT64_MIN);
    EXPECT_EQ(pf::json_int32(doc, "str"), std::nullopt);
    EXPECT_EQ(pf::json_string(doc, "n"), std::nullopt);
    EXPECT_EQ(pf::json_string(doc, "nul"), std::nullopt);
    EXPECT_EQ(pf::json_member(doc, "missing"), nullptr);
    EXPECT_EQ(pf::json_member(doc, "a"), nullptr) << "names compare by full length";
    EXPECT_EQ(pf::json_member(doc, "N"), nullptr) << "names are case-sensitive";

    pf::JsonDoc array;
    ASSERT_TRUE(pf::json_parse("[1]", &array));
    EXPECT_EQ(pf::json_member(array, "n"), nullptr);
}

TEST(JsonRewrite, WritesCompactTextWithTheWritersEscapes) {
    const struct {
        const char *text, *want;
    } cases[] = {
        {" { \"a\" : [ 1 , 2.5 , \"x\" ] , \"b\" : null } ", "{\"a\":[1,2.5,\"x\"],\"b\":null}"},
        {"\"\\u00e9\\/\\u0001\\n\"", "\"\xC3\xA9/\\u0001\\n\""},
        {"{\"a\":1,\"a\":2}", "{\"a\":1,\"a\":2}"},
        {"18446744073709551615", "18446744073709551615"},
    };
    for (const auto &c : cases) {
        std::string out = "stale";
        EXPECT_TRUE(pf::json_rewrite(c.text, &out)) << c.text;
        EXPECT_EQ(out, c.want) << c.text;
    }
    std::string deep;
    EXPECT_TRUE(pf::json_rewrite((kDeepOpen + kDeepClose).c_str(), &deep));
    EXPECT_EQ(deep, kDeepOpen + kDeepClose);
}

// Each text is copied to a heap block of its exact size, so that a read past
// its terminator shows under AddressSanitizer, not only a wrong answer.
TEST(JsonParse, TextEndingInsideACharacterIsRefusedWithoutReadingPastIt) {
    const char *const cases[] = {"[\"\xC3", "[\"\xE2\x82", "[\"\xF0", "[\"\xF0\x9F\x8E", "{\"\xF4"};
    for (const char *text : cases) {
        const std::string exact(text);
        const std::unique_ptr<char[]> block(new char[exact.size() + 1]);
        std::copy(exact.c_str(), exact.c_str() + exact.size() + 1, block.get());
        pf::JsonDoc doc;
        EXPECT_FALSE(pf::json_parse(block.get(), &doc)) << text;
        std::string out;
        EXPECT_FALSE(pf::json_rewrite(block.get(), &out)) << text;
    }
}

// Zeros the reader's own conversion would hand to clz, numbers below the
// smallest double (written with any exponent or any number of zeros), and the
// integers and doubles either side of the 64-bit and double limits read as
// their correctly rounded values, the sign of a zero included.
TEST(JsonParse, NumbersReadAsTheirCorrectlyRoundedValues) {
    const struct {
        std::string text;
        double value;
    } cases[] = {
        {"[0e-30]", 0.0},
        {"[0.0e-100]", 0.0},
        {"[0e300]", 0.0},
        {"[-0e-50]", -0.0},
        {"[0.000]", 0.0},
        {"[1e-400]", 0.0},
        {"[0e-400]", 0.0},
        {"[-1e-400]", -0.0},
        {"[1111.1111111111111111111111111111111e-333]", 0.0},
        {"[0.0000000000000000000000000000000000000000001e-300]", 0.0},
        {"[1e-2147483648]", 0.0},
        {"[0." + std::string(450, '0') + "]", 0.0},
        {"[-0.0e-999]", -0.0},
        {"[-2e-324]", -0.0},
        {"[1e-325]", 0.0},
        {"[-9.99e-330]", -0.0},
        {"[2.5e-324]", 4.9406564584124654e-324},
        {"[4.9e-324]", 4.9406564584124654e-324},
        {"[2.2250738585072014e-308]", 2.2250738585072014e-308},
        {"[123.456e-300]", 123.456e-300},
        {"[1.00000000000000000000000000000]", 1.0},
        {"[1e-309]", 1e-309},
        {"[0.001e-305]", 1e-308},
        {"[3000000000]", 3e9},
        {"[-3000000000]", -3e9},
        {"[18446744073709551615]", 18446744073709551615.0},
        {"[18446744073709551616]", 18446744073709551616.0},
        {"[1.7976931348623157e308]", 1.7976931348623157e308},
        {"[0.1]", 0.1},
    };
    for (const auto &c : cases) {
        pf::JsonDoc doc;
        ASSERT_TRUE(pf::json_parse(c.text.c_str(), &doc)) << c.text;
        ASSERT_TRUE(doc.IsArray() && doc[0].IsNumber()) << c.text;
        EXPECT_EQ(doc[0].GetDouble(), c.value) << c.text;
        EXPECT_EQ(std::signbit(doc[0].GetDouble()), std::signbit(c.value)) << c.text;
    }
    std::string out;
    ASSERT_TRUE(pf::json_rewrite("{\"a\":[0e-30,-7,4294967296,1e-400,-1e-400]}", &out));
    EXPECT_EQ(out, "{\"a\":[0.0,-7,4294967296,0.0,-0.0]}");
}

TEST(JsonRewrite, RefusesInvalidTextAndLeavesTheOutputAlone) {
    const char *const cases[] = {"", "{\"a\":\"\\uDC00\"}", "1.8e308", "\xEF\xBB\xBF[]", "[1] 2", "{\"a\":\"\xC3\"}"};
    for (const char *text : cases) {
        std::string out = "stale";
        EXPECT_FALSE(pf::json_rewrite(text, &out)) << text;
        EXPECT_EQ(out, "stale") << text;
    }
    EXPECT_FALSE(pf::json_rewrite(kDeepOpen.c_str(), nullptr));
}

TEST(JsonWriter, EscapesQuotesBackslashesAndControlsAndRepairsUtf8) {
    const std::string fffd = "\xEF\xBF\xBD";
    const struct {
        std::string text, want;
    } cases[] = {
        {"say \"hi\"", "say \\\"hi\\\""},
        {"C:\\dir", "C:\\\\dir"},
        {"a/b", "a/b"},
        {"\b\f\n\r\t", "\\b\\f\\n\\r\\t"},
        {std::string("\x00\x01\x1F", 3), "\\u0000\\u0001\\u001F"},
        {"\x7F caf\xC3\xA9", "\x7F caf\xC3\xA9"},
        {"bad\xFF", "bad" + fffd},
        {"cut\xE2\x82", "cut" + fffd},
    };
    for (const auto &c : cases) EXPECT_EQ(pf::json_escape(c.text), c.want) << c.text;
}
