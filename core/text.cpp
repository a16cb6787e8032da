// Byte-string helpers: bounded copies, path pieces, URL and XML escaping, UTF-8 repair,
// growable heap texts, all aware of UTF-8 where a byte could be cut or lost.
#include "core/text.h"

#include <array>
#include <cstdint>
#include <cstring>

#include "core/error.h"

namespace pf {

namespace {

constexpr std::string_view kReplacement = "\xEF\xBF\xBD";

// Room for an escaped copy of n bytes at `factor` bytes each, or 0 when the
// size itself would overflow.
std::size_t escaped_room(std::size_t n, std::size_t factor) {
    if (n > (SIZE_MAX - 1) / factor) return 0;
    return n * factor + 1;
}

HeapText alloc_text(std::size_t bytes) { return HeapText(static_cast<char *>(std::malloc(bytes))); }

HeapText out_of_memory() {
    set_err("out of memory");
    return nullptr;
}

// Appends to a block sized for the worst case up front.
struct Appender {
    char *at;
    void put(std::string_view s) {
        std::memmove(at, s.data(), s.size());
        at += s.size();
    }
    void put(char c) { *at++ = c; }
};

// The entity of each byte value, empty for the bytes that need none: one
// look-up per byte however the entity table grows.
constexpr std::array<std::string_view, 256> kEntityOf = [] {
    std::array<std::string_view, 256> entity_of{};
    for (const XmlEntity &e : PF_XML_ENTITIES) entity_of[static_cast<unsigned char>(e.character)] = e.text;
    return entity_of;
}();

std::string_view xml_entity(char c) { return kEntityOf[static_cast<unsigned char>(c)]; }

// Printable ASCII without an entity: the bytes escaping passes as they are.
constexpr std::array<bool, 256> kUnchanged = [] {
    std::array<bool, 256> unchanged{};
    for (std::size_t c = 0x20; c < 0x7F; ++c) unchanged[c] = kEntityOf[c].empty();
    return unchanged;
}();

// XML 1.0 admits no C0 control but tab, LF and CR, not even as a reference.
bool xml_forbidden_control(unsigned char c) { return c < 0x20 && c != '\t' && c != '\n' && c != '\r'; }

}  // namespace

bool copy_cut(char *dst, std::size_t cap, std::string_view src) {
    if (cap == 0) return src.empty();
    const std::size_t keep = cut_length(src, cap);
    // An empty view may carry a null pointer, which memmove must never see.
    if (keep > 0) std::memmove(dst, src.data(), keep);
    dst[keep] = '\0';
    return keep == src.size();
}

const char *base_name(const char *path) {
    if (!path) return "";
    const char *slash = std::strrchr(path, '/');
    const char *backslash = std::strrchr(path, '\\');
    const char *last = slash > backslash ? slash : backslash;
    return last ? last + 1 : path;
}

HeapText strip_ext(const char *text) {
    const std::string_view whole = view_of(text);
    const std::string_view name = base_name(text);
    const std::size_t dot = name.rfind('.');
    std::size_t keep = whole.size();
    // A leading dot names a hidden file, not an extension.
    if (dot != std::string_view::npos && dot > 0) keep = whole.size() - name.size() + dot;
    HeapText out = alloc_text(keep + 1);
    if (out) copy_cut(out.get(), keep + 1, whole.substr(0, keep));
    return out;
}

HeapText pf_quote(const char *text) {
    const std::string_view in = view_of(text);
    const std::size_t room = escaped_room(in.size(), 3);
    HeapText out = room ? alloc_text(room) : nullptr;
    if (!out) return out_of_memory();
    char *at = out.get();
    for (const char ch : in) {
        const unsigned char c = static_cast<unsigned char>(ch);
        const bool unreserved = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
                                c == '-' || c == '.' || c == '_' || c == '~';
        if (unreserved) {
            *at++ = ch;
        } else {
            // "%XX" with upper-case digits, as "%%%02X" writes it.
            constexpr char kHex[] = "0123456789ABCDEF";
            *at++ = '%';
            *at++ = kHex[c >> 4];
            *at++ = kHex[c & 15];
        }
    }
    *at = '\0';
    return out;
}

HeapText xml_escape(const char *text) {
    const std::string_view in = view_of(text);
    const std::size_t room = escaped_room(in.size(), 6);
    HeapText out = room ? alloc_text(room) : nullptr;
    if (!out) return out_of_memory();
    Appender app{out.get()};
    for (std::size_t i = 0; i < in.size();) {
        const Utf8Step step = utf8_step(in, i);
        const std::string_view entity = xml_entity(in[i]);
        if (!step.valid || step.code == 0xFFFE || step.code == 0xFFFF) {
            app.put(kReplacement);
        } else if (!entity.empty()) {
            app.put(entity);
        } else if (!xml_forbidden_control(static_cast<unsigned char>(in[i]))) {
            app.put(in.substr(i, step.length));
        }
        i += step.length;
    }
    *app.at = '\0';
    return out;
}

std::string utf8_repaired(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        const Utf8Step step = utf8_step(text, i);
        if (step.valid)
            out += text.substr(i, step.length);
        else
            out += kReplacement;
        i += step.length;
    }
    return out;
}

bool grow_reuses(const char *held, std::string_view text) { return held && std::strlen(held) >= text.size(); }

int set_grow(char **slot, const char *text) {
    const std::string_view in = view_of(text);
    if (grow_reuses(*slot, in)) {
        copy_cut(*slot, in.size() + 1, in);
        return 0;
    }
    const std::size_t room = in.size() <= 4094 ? 4096 : escaped_room(in.size(), 2) + 1;
    // The new block is filled before the old one goes, as text may point into
    // it; without a new block the old text stays, so a failure changes nothing.
    HeapText fresh = room > 1 ? alloc_text(room) : nullptr;
    if (!fresh) return -1;
    copy_cut(fresh.get(), room, in);
    std::free(*slot);
    *slot = fresh.release();
    return 0;
}

bool escapes_unchanged(const char *text) {
    for (const char *p = text; *p; ++p)
        if (!kUnchanged[static_cast<unsigned char>(*p)]) return false;
    return true;
}

bool is_valid_utf8(std::string_view text) {
    for (std::size_t i = 0; i < text.size();) {
        const Utf8Step step = utf8_step(text, i);
        if (!step.valid) return false;
        i += step.length;
    }
    return true;
}

}  // namespace pf
