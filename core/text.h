// Byte-string helpers shared by every subsystem: bounded copies, path pieces,
// URL and XML escaping, UTF-8 repair and growable heap texts.
#pragma once

#include <cstddef>
#include <cstdlib>
#include <memory>
#include <string>
#include <string_view>

namespace pf {

struct FreeDeleter {
    void operator()(void *p) const { std::free(p); }
};
// A heap text from malloc; freed when it goes out of scope.
using HeapText = std::unique_ptr<char, FreeDeleter>;

// One UTF-8 character, or one broken sequence, read from a text.
struct Utf8Step {
    std::size_t length;  // bytes consumed: the whole character, or the maximal ill-formed prefix
    bool valid;
    char32_t code;
};

// Decodes one character at text[i]. An ill-formed sequence consumes its lead
// byte and the continuation bytes that still fitted, so that each broken
// sequence turns into exactly one replacement character.
constexpr Utf8Step utf8_step(std::string_view text, std::size_t i) {
    const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(text[k]); };
    const unsigned char lead = byte(i);
    if (lead < 0x80) return {1, true, lead};

    std::size_t need = 0;
    unsigned char lo = 0x80, hi = 0xBF;
    char32_t code = 0;
    if (lead >= 0xC2 && lead <= 0xDF) {
        need = 1;
        code = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        need = 2;
        code = lead & 0x0F;
        if (lead == 0xE0) lo = 0xA0;
        if (lead == 0xED) hi = 0x9F;  // surrogates are not characters
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        need = 3;
        code = lead & 0x07;
        if (lead == 0xF0) lo = 0x90;
        if (lead == 0xF4) hi = 0x8F;  // nothing beyond U+10FFFF
    } else {
        return {1, false, 0};
    }

    std::size_t k = i + 1;
    for (std::size_t n = 0; n < need; ++n, ++k) {
        if (k >= text.size()) return {k - i, false, 0};
        const unsigned char c = byte(k);
        if (c < lo || c > hi) return {k - i, false, 0};
        code = (code << 6) | (c & 0x3F);
        lo = 0x80;
        hi = 0xBF;
    }
    return {k - i, true, code};
}

// How many bytes of src a field of cap bytes (the NUL counted) keeps: all of
// them when they fit, else at most cap - 1, never ending in a part of a UTF-8
// character. Bytes that are no UTF-8 are cut where they fall. Inline: record
// texts are cut in every program that builds a record, also in one that
// links only the shared library.
constexpr std::size_t cut_length(std::string_view src, std::size_t cap) {
    if (cap == 0) return 0;
    if (src.size() <= cap - 1) return src.size();
    // Step back to the lead byte of the character the cut falls in; drop that
    // character only when it was valid and would be split.
    std::size_t keep = cap - 1;
    std::size_t lead = keep;
    while (lead > 0 && keep - lead < 3 && (static_cast<unsigned char>(src[lead]) & 0xC0) == 0x80) --lead;
    if (lead < keep) {
        const Utf8Step step = utf8_step(src, lead);
        if (step.valid && lead + step.length > keep) keep = lead;
    }
    return keep;
}

// Copies src into dst[cap], cut to cut_length(src, cap) bytes and
// NUL-terminated. Returns true when the whole text fitted. src may overlap dst.
bool copy_cut(char *dst, std::size_t cap, std::string_view src);

template <std::size_t N>
bool copy_cut(char (&dst)[N], std::string_view src) {
    return copy_cut(dst, N, src);
}

// NULL-safe view of a C text.
inline std::string_view view_of(const char *s) { return s ? std::string_view(s) : std::string_view(); }

// The last path component (after the last '/' or '\'); points into path, or
// to a static "" for NULL.
const char *base_name(const char *path);

// A copy without the extension of the last path component; a dot that starts
// that component is no extension. NULL when memory runs out (no message).
HeapText strip_ext(const char *text);

// Percent-encodes one URL path segment (RFC 3986 unreserved bytes kept).
// NULL with "out of memory" set when memory runs out.
HeapText pf_quote(const char *text);

// The five XML special bytes and the entities the writer puts in their place.
struct XmlEntity {
    char character;
    std::string_view text;
};
inline constexpr XmlEntity PF_XML_ENTITIES[] = {
    {'&', "&amp;"}, {'<', "&lt;"}, {'>', "&gt;"}, {'"', "&quot;"}, {'\'', "&apos;"},
};

// Escapes the five XML special bytes, drops C0 controls other than tab, LF
// and CR, and writes U+FFFD for invalid UTF-8 (and U+FFFE, U+FFFF).
// NULL with "out of memory" set when memory runs out.
HeapText xml_escape(const char *text);

// True when xml_escape hands the C text back as it is, which is the common
// case: printable ASCII other than the five special bytes.
bool escapes_unchanged(const char *text);

// The text with every invalid UTF-8 sequence replaced by U+FFFD.
std::string utf8_repaired(std::string_view text);

// Replaces the heap text in *slot (NULL or one malloc block) by a copy of
// text, reusing the block when the held text is at least as long. Returns -1
// with *slot as it was when memory runs out (no message).
int set_grow(char **slot, const char *text);

// True when set_grow puts text into the block the slot holds, which cannot
// fail.
bool grow_reuses(const char *held, std::string_view text);

// True when the text is valid UTF-8.
bool is_valid_utf8(std::string_view text);

}  // namespace pf
