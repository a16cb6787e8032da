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

// Copies src into dst[cap], cut to cap - 1 bytes and NUL-terminated. A cut
// never leaves a partial UTF-8 character at the end. Returns true when the
// whole text fitted. src may overlap dst.
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
