// Bounded copies, path pieces and the URL, XML and JSON escapers.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <string_view>
#include <utility>

#include "core/bounded_text.h"
#include "core/error.h"
#include "core/text.h"

using pf::HeapText;

namespace {

std::string text_of(const HeapText &t) { return t ? std::string(t.get()) : std::string("<null>"); }

}  // namespace

// A record's bounded text at each capacity the cut tables use.
template <std::size_t... Caps>
struct BoundedCut {
    // What a text of capacity cap keeps of src, and whether src fitted whole.
    static std::pair<std::string, bool> of(std::size_t cap, std::string_view src) {
        std::pair<std::string, bool> kept{"(no such capacity)", false};
        (void)((cap == Caps && (kept = assign<Caps>(src), true)) || ...);
        return kept;
    }

    template <std::size_t N>
    static std::pair<std::string, bool> assign(std::string_view src) {
        pf::BoundedText<N> text;
        const bool fits = text.assign(src);
        EXPECT_EQ(std::strlen(text.c_str()), text.view().size());
        return {std::string(text.view()), fits};
    }
};
using BoundedCuts = BoundedCut<1, 3, 4, 5, 6, 16, 70>;

// One rule for fixed arrays and for records' bounded texts, which keep a
// long text on the heap.
TEST(CopyCut, CutsToCapacityWithoutSplittingACharacter) {
    const std::string a65(65, 'a'), a68(68, 'a');
    const struct {
        std::string src;
        std::size_t cap;
        std::string want;
        bool fits;
    } cases[] = {
        {"abc", 4, "abc", true},
        {"abcd", 4, "abc", false},
        {"", 1, "", true},
        {"x", 1, "", false},
        {"ab\xC3\xA9", 5, "ab\xC3\xA9", true},             // e-acute fits exactly
        {"ab\xC3\xA9", 4, "ab", false},                    // cut inside e-acute: dropped whole
        {"a\xE2\x82\xAC", 3, "a", false},                  // euro sign, cut after its first byte
        {"a\xE2\x82\xAC", 4, "a", false},                  // cut after its second byte
        {"a\xF0\x9F\x8E\xB5" "b", 5, "a", false},          // four-byte note, cut after three bytes
        {"a\xF0\x9F\x8E\xB5" "b", 6, "a\xF0\x9F\x8E\xB5", false},
        {"ab\x80\x80\x80", 4, "ab\x80", false},            // not UTF-8: cut by bytes as before
        {"ab\xC3" "Z", 4, "ab\xC3", false},                // broken lead byte is no character
        {std::string("ab\0cd", 5), 16, "ab", true},         // a NUL ends the text
        {a65 + "\xC3\xA9", 70, a65 + "\xC3\xA9", true},     // long texts, cut the same way
        {a68 + "\xE2\x82\xAC", 70, a68, false},
    };
    for (const auto &c : cases) {
        char dst[128];
        std::memset(dst, '#', sizeof dst);
        EXPECT_EQ(pf::copy_cut(dst, c.cap, c.src), c.fits) << c.src;
        EXPECT_EQ(std::string(dst), c.want) << c.src << " cap " << c.cap;
        EXPECT_EQ(BoundedCuts::of(c.cap, c.src), std::make_pair(c.want, c.fits)) << c.src << " cap " << c.cap;
    }
}

TEST(CopyCut, AcceptsASourceInsideTheDestination) {
    char buf[16] = "hello world";
    pf::copy_cut(buf, std::string_view(buf + 6));
    EXPECT_STREQ(buf, "world");
    char same[8] = "abcdef";
    pf::copy_cut(same, std::string_view(same));
    EXPECT_STREQ(same, "abcdef");
    // In place and on the heap, from the start and from the middle.
    for (const std::string text : {"hello world", "a text too long to stay in place"}) {
        pf::BoundedText<1024> bounded;
        bounded.assign(text);
        bounded.assign(bounded.view().substr(6));
        EXPECT_EQ(bounded.view(), text.substr(6));
        bounded.assign(bounded.view().substr(0, 3));
        EXPECT_EQ(bounded.view(), text.substr(6, 3));
    }
}

TEST(CopyCut, TakesTheEmptyViewOfANullText) {
    char dst[4] = "abc";
    EXPECT_TRUE(pf::copy_cut(dst, pf::view_of(nullptr)));
    EXPECT_STREQ(dst, "");
}

TEST(BaseName, TakesTheTextAfterTheLastSeparatorOfEitherKind) {
    const struct {
        const char *path, *want;
    } cases[] = {
        {"C:\\media\\show/ep1.mp3", "ep1.mp3"},
        {"/srv/a\\b\\ep2.mp3", "ep2.mp3"},
        {"ep1.mp3", "ep1.mp3"},
        {"/srv/media/", ""},
        {"", ""},
    };
    for (const auto &c : cases) EXPECT_STREQ(pf::base_name(c.path), c.want) << c.path;
    EXPECT_STREQ(pf::base_name(nullptr), "");
    const char *path = "dir/x";
    EXPECT_EQ(pf::base_name(path), path + 4) << "the result points into the argument";
}

TEST(StripExt, CutsTheExtensionOfTheLastComponentOnly) {
    const struct {
        const char *text, *want;
    } cases[] = {
        {"ep1.mp3", "ep1"},
        {"archive.tar.gz", "archive.tar"},
        {"noext", "noext"},
        {".hidden", ".hidden"},
        {"trailing.", "trailing"},
        {"", ""},
        {"/srv/show.v2/ep1.mp3", "/srv/show.v2/ep1"},
        {"/srv/show.v2/ep1", "/srv/show.v2/ep1"},  // a dotted folder is no extension
        {"C:\\pods.d\\ep", "C:\\pods.d\\ep"},
        {"/srv/media/.env", "/srv/media/.env"},
        {"/srv/media/.env.json", "/srv/media/.env"},
    };
    for (const auto &c : cases) EXPECT_EQ(text_of(pf::strip_ext(c.text)), c.want) << c.text;
}

TEST(PfQuote, PercentEncodesAllButUnreservedBytes) {
    const struct {
        const char *text, *want;
    } cases[] = {
        {"My Show/ep 1.mp3", "My%20Show%2Fep%201.mp3"},
        {"AZaz09-._~", "AZaz09-._~"},
        {"\xC3\xA9", "%C3%A9"},
        {"100%\\x?", "100%25%5Cx%3F"},
        {"\xFF\x01", "%FF%01"},
        {"", ""},
    };
    for (const auto &c : cases) EXPECT_EQ(text_of(pf::pf_quote(c.text)), c.want) << c.text;
    EXPECT_EQ(text_of(pf::pf_quote(nullptr)), "");
}

TEST(XmlEscape, EscapesSpecialBytesAndKeepsValidText) {
    const struct {
        const char *text, *want;
    } cases[] = {
        {"a & b < c > d \" e ' f", "a &amp; b &lt; c &gt; d &quot; e &apos; f"},
        {"&amp;", "&amp;amp;"},
        {"plain text", "plain text"},
        {"tab\tlf\ncr\r", "tab\tlf\ncr\r"},
        {"caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x8E\xB5", "caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x8E\xB5"},
        {"", ""},
    };
    for (const auto &c : cases) EXPECT_EQ(text_of(pf::xml_escape(c.text)), c.want) << c.text;
    EXPECT_EQ(text_of(pf::xml_escape(nullptr)), "");
}

// The writer's shortcut past xml_escape: taken only where escaping would change nothing.
TEST(EscapesUnchanged, HoldsForPrintableAsciiWithoutSpecialBytesOnly) {
    const struct {
        const char *text;
        bool unchanged;
    } cases[] = {
        {"plain text ~ {}", true}, {"", true},          {"a & b", false},     {"<", false},
        {">", false},              {"\"", false},       {"'", false},         {"tab\t", false},
        {"del\x7F", false},        {"caf\xC3\xA9", false}, {"x\x01", false},
    };
    for (const auto &c : cases) {
        EXPECT_EQ(pf::escapes_unchanged(c.text), c.unchanged) << c.text;
        if (c.unchanged) {
            EXPECT_EQ(text_of(pf::xml_escape(c.text)), c.text);
        }
    }
}

TEST(XmlEscape, NeverYieldsTextAnXmlParserRejects) {
    const std::string fffd = "\xEF\xBF\xBD";
    const struct {
        const char *text;
        std::string want;
    } cases[] = {
        {"a\x01" "b\x1F" "c\x7F", "abc\x7F"},            // C0 controls dropped, DEL allowed
        {"a\x0B\x0C" "b", "ab"},
        {"x\xFFy", "x" + fffd + "y"},                     // byte that never starts a character
        {"x\xC3y", "x" + fffd + "y"},                     // truncated two-byte character
        {"x\xE2\x82", "x" + fffd},                        // truncated three-byte character: one replacement
        {"\xC0\xAF", fffd + fffd},                        // overlong '/'
        {"\xED\xA0\x80", fffd + fffd + fffd},             // encoded surrogate
        {"\xF4\x90\x80\x80", fffd + fffd + fffd + fffd},  // beyond U+10FFFF
        {"\xEF\xBF\xBE\xEF\xBF\xBF", fffd + fffd},        // U+FFFE and U+FFFF are no characters
        {"<\x80>", "&lt;" + fffd + "&gt;"},
    };
    for (const auto &c : cases) EXPECT_EQ(text_of(pf::xml_escape(c.text)), c.want) << c.text;
}

TEST(IsValidUtf8, AcceptsOnlyWellFormedCharacters) {
    const struct {
        const char *text;
        bool valid;
    } cases[] = {
        {"", true},
        {"ascii", true},
        {"\xC3\xA9\xE2\x82\xAC\xF0\x9F\x8E\xB5\xF4\x8F\xBF\xBF", true},
        {"\xEF\xBF\xBF", true},  // a noncharacter is still UTF-8
        {"\xC3", false},
        {"\xC1\xBF", false},
        {"\xE0\x9F\xBF", false},
        {"\xED\xB0\x80", false},
        {"\xF0\x8F\xBF\xBF", false},
        {"\xF5\x80\x80\x80", false},
        {"\x80", false},
    };
    for (const auto &c : cases) EXPECT_EQ(pf::is_valid_utf8(c.text), c.valid) << c.text;
}

TEST(SetGrow, ReusesTheBlockWhileTheHeldTextIsLongEnough) {
    char *slot = nullptr;
    ASSERT_EQ(pf::set_grow(&slot, "hello"), 0);
    EXPECT_STREQ(slot, "hello");
    char *first = slot;

    ASSERT_EQ(pf::set_grow(&slot, "abc"), 0);
    EXPECT_STREQ(slot, "abc");
    EXPECT_EQ(slot, first);

    // Longer than the held text: a fresh block, as the held length is the only measure.
    ASSERT_EQ(pf::set_grow(&slot, "abcdef"), 0);
    EXPECT_STREQ(slot, "abcdef");

    const std::string big(5000, 'x');
    ASSERT_EQ(pf::set_grow(&slot, big.c_str()), 0);
    EXPECT_EQ(std::string(slot), big);
    std::free(slot);
}

TEST(SetGrow, AcceptsItsOwnTextOrAPartOfIt) {
    char *slot = nullptr;
    ASSERT_EQ(pf::set_grow(&slot, "abcdef"), 0);
    ASSERT_EQ(pf::set_grow(&slot, slot + 2), 0);
    EXPECT_STREQ(slot, "cdef");
    ASSERT_EQ(pf::set_grow(&slot, slot), 0);
    EXPECT_STREQ(slot, "cdef");
    std::free(slot);
}
