/* A reader for the JSON texts the library returns: small objects of strings,
 * numbers and booleans, and one array of such objects. Walking tokens is
 * enough, and unlike a substring search it cannot be fooled by a title that
 * contains a key. */
#include "json_reader.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

const char *json_skip_space(const char *p) {
    while (*p == ' ' || *p == '\t' || *p == '\n' || *p == '\r') ++p;
    return p;
}

static int hex_value(const char *p, unsigned *value) {
    *value = 0;
    for (int i = 0; i < 4; ++i) {
        char c = p[i];
        unsigned digit;
        if (c >= '0' && c <= '9') digit = (unsigned)(c - '0');
        else if (c >= 'a' && c <= 'f') digit = (unsigned)(c - 'a' + 10);
        else if (c >= 'A' && c <= 'F') digit = (unsigned)(c - 'A' + 10);
        else return 0;
        *value = *value * 16 + digit;
    }
    return 1;
}

/* Appends one byte when room remains and counts it either way, so the caller
 * learns the full decoded length as with snprintf. */
static void put_byte(char *out, size_t cap, size_t *len, unsigned byte) {
    if (out && *len + 1 < cap) out[*len] = (char)byte;
    ++*len;
}

static void put_utf8(char *out, size_t cap, size_t *len, unsigned cp) {
    if (cp < 0x80) {
        put_byte(out, cap, len, cp);
    } else if (cp < 0x800) {
        put_byte(out, cap, len, 0xC0 | (cp >> 6));
        put_byte(out, cap, len, 0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        put_byte(out, cap, len, 0xE0 | (cp >> 12));
        put_byte(out, cap, len, 0x80 | ((cp >> 6) & 0x3F));
        put_byte(out, cap, len, 0x80 | (cp & 0x3F));
    } else {
        put_byte(out, cap, len, 0xF0 | (cp >> 18));
        put_byte(out, cap, len, 0x80 | ((cp >> 12) & 0x3F));
        put_byte(out, cap, len, 0x80 | ((cp >> 6) & 0x3F));
        put_byte(out, cap, len, 0x80 | (cp & 0x3F));
    }
}

/* Reads the \u escape at p (just after the backslash and 'u'), joining a
 * surrogate pair; a lone surrogate becomes U+FFFD. Returns the end or NULL. */
static const char *read_unicode_escape(const char *p, unsigned *cp) {
    if (!hex_value(p, cp)) return NULL;
    p += 4;
    if (*cp >= 0xD800 && *cp <= 0xDBFF && p[0] == '\\' && p[1] == 'u') {
        unsigned low;
        if (hex_value(p + 2, &low) && low >= 0xDC00 && low <= 0xDFFF) {
            *cp = 0x10000 + ((*cp - 0xD800) << 10) + (low - 0xDC00);
            return p + 6;
        }
    }
    if (*cp >= 0xD800 && *cp <= 0xDFFF) *cp = 0xFFFD;
    return p;
}

/* Decodes the string starting at the quotation mark p into out (may be NULL,
 * cut to cap - 1 bytes) and sets *len to the full decoded length. Returns the
 * position after the closing quotation mark, or NULL for a malformed string. */
static const char *read_string(const char *p, char *out, size_t cap, size_t *len) {
    *len = 0;
    if (*p++ != '"') return NULL;
    while (*p != '"') {
        unsigned c = (unsigned char)*p++;
        if (c == '\0') return NULL;
        if (c == '\\') {
            const char *simple = strchr("\"\\/bfnrt", *p);
            if (*p == 'u') {
                p = read_unicode_escape(p + 1, &c);
                if (!p) return NULL;
                put_utf8(out, cap, len, c);
                continue;
            }
            if (!*p || !simple) return NULL;
            c = (unsigned char)"\"\\/\b\f\n\r\t"[simple - "\"\\/bfnrt"];
            ++p;
        }
        put_byte(out, cap, len, c);
    }
    if (out && cap) out[*len < cap ? *len : cap - 1] = '\0';
    return p + 1;
}

/* Returns the position after the value at p, or NULL when it is malformed. */
static const char *skip_value(const char *p) {
    size_t len;
    p = json_skip_space(p);
    if (*p == '"') return read_string(p, NULL, 0, &len);
    if (*p == '{' || *p == '[') {
        char close = *p == '{' ? '}' : ']';
        p = json_skip_space(p + 1);
        if (*p == close) return p + 1;
        for (;;) {
            p = skip_value(p);
            if (p && close == '}') {
                p = json_skip_space(p);
                p = *p == ':' ? skip_value(p + 1) : NULL;
            }
            if (!p) return NULL;
            p = json_skip_space(p);
            if (*p != ',') return *p == close ? p + 1 : NULL;
            ++p;
        }
    }
    /* A scalar: a number, true, false or null, ended by a delimiter. */
    const char *start = p;
    while (*p && !strchr(",:{}[]\" \t\n\r", *p)) ++p;
    return p == start ? NULL : p;
}

int json_member(const char *obj, const char *key, char *out, size_t cap) {
    out[0] = '\0';
    const char *p = json_skip_space(obj);
    if (*p++ != '{') return 0;
    for (p = json_skip_space(p); *p == '"'; p = json_skip_space(p + 1)) {
        char name[64];
        size_t name_len;
        p = read_string(p, name, sizeof name, &name_len);
        if (!p) return 0;
        p = json_skip_space(p);
        if (*p++ != ':') return 0;
        p = json_skip_space(p);
        if (name_len < sizeof name && strcmp(name, key) == 0) {
            size_t len;
            if (*p == '"') {
                if (read_string(p, out, cap, &len)) return 1;
                out[0] = '\0';
                return 0;
            }
            const char *end = skip_value(p);
            if (!end) return 0;
            snprintf(out, cap, "%.*s", (int)(end - p), p);
            return 1;
        }
        p = skip_value(p);
        if (!p) return 0;
        p = json_skip_space(p);
        if (*p != ',') return 0;
    }
    return 0;
}

long long json_number(const char *obj, const char *key) {
    char value[32];
    return json_member(obj, key, value, sizeof value) ? strtoll(value, NULL, 10) : 0;
}

const char *json_next_element(const char **cursor) {
    const char *p = json_skip_space(*cursor);
    if (*p != '[' && *p != ',') return NULL;
    p = json_skip_space(p + 1);
    if (*p == ']' || *p == '\0') return NULL;
    const char *element = p;
    p = skip_value(p);
    if (!p) return NULL;
    *cursor = p;
    return element;
}
