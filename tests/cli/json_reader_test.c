/* The command's JSON reader against the texts it must read and the malformed
 * ones it must refuse without reading past their end. */
#include <stdio.h>
#include <string.h>

#include "json_reader.h"

static int failures;

static void expect_member(const char *obj, const char *key, int found, const char *value) {
    char out[64];
    int got = json_member(obj, key, out, sizeof out);
    if (got != found || strcmp(out, value) != 0) {
        ++failures;
        fprintf(stderr, "FAIL: %s in %s gave %d '%s', want %d '%s'\n", key, obj, got, out, found, value);
    }
}

static void member_values_are_decoded_or_kept_as_written(void) {
    static const char doc[] =
        "{\"list\":[1,{\"b\":\"}\"}],\"text\":\"q\\\"b\\\\s\\/\\t\\u00e9\\ud83d\\ude00\","
        "\"n\":-12,\"ok\":true,\"text\":\"second\",\"tricky\":\"\\\"n\\\":5\"}";
    static const struct {
        const char *key, *value;
        int found;
    } cases[] = {
        {"text", "q\"b\\s/\t\xc3\xa9\xf0\x9f\x98\x80", 1}, /* first of two wins */
        {"n", "-12", 1},
        {"ok", "true", 1},
        {"list", "[1,{\"b\":\"}\"}]", 1},
        {"tricky", "\"n\":5", 1},
        {"b", "", 0}, /* members of nested objects are not the object's */
        {"Text", "", 0},
    };
    for (size_t i = 0; i < sizeof cases / sizeof cases[0]; ++i)
        expect_member(doc, cases[i].key, cases[i].found, cases[i].value);
}

static void malformed_texts_find_nothing(void) {
    static const char *const docs[] = {
        "", "[]", "{", "{\"k\"", "{\"k\" 1}", "{\"k\":\"open", "{\"k\":\"bad \\x escape\"}",
        "{\"k\":\"\\u12\"}", "{\"a\":1 \"k\":2}", "{\"a\":[1,2,\"k\":2}",
    };
    for (size_t i = 0; i < sizeof docs / sizeof docs[0]; ++i) expect_member(docs[i], "k", 0, "");
}

static void strings_are_cut_to_the_room_given(void) {
    char small[4];
    if (!json_member("{\"k\":\"abcdef\"}", "k", small, sizeof small) || strcmp(small, "abc") != 0) {
        ++failures;
        fprintf(stderr, "FAIL: cut string gave '%s'\n", small);
    }
    expect_member("{\"k\":\"\\ud800x\"}", "k", 1, "\xef\xbf\xbdx"); /* lone surrogate */
}

static void numbers_read_as_integers(void) {
    if (json_number("{\"total_bytes\":9000000000}", "total_bytes") != 9000000000LL ||
        json_number("{\"n\":\"7\"}", "missing") != 0) {
        ++failures;
        fprintf(stderr, "FAIL: json_number\n");
    }
}

static void arrays_yield_each_element_then_stop(void) {
    static const struct {
        const char *array;
        const char *keys; /* the "r" of each element read, in order */
    } cases[] = {
        {" [ {\"r\":\"a\"} , {\"r\":\"b\"},{\"r\":\"c\"} ] ", "abc"},
        {"[]", ""},
        {"[{\"r\":\"a\"},", "a"},
        {"[{\"r\":\"a\"}{\"r\":\"b\"}]", "a"},
        {"[{\"r\":\"a\"", ""},
        {"{\"r\":\"a\"}", ""},
    };
    for (size_t i = 0; i < sizeof cases / sizeof cases[0]; ++i) {
        char seen[16] = "";
        const char *cursor = cases[i].array;
        const char *element;
        while ((element = json_next_element(&cursor)) != NULL && strlen(seen) < sizeof seen - 1) {
            char r[8];
            json_member(element, "r", r, sizeof r);
            size_t len = strlen(seen);
            snprintf(seen + len, sizeof seen - len, "%s", r);
        }
        if (strcmp(seen, cases[i].keys) != 0) {
            ++failures;
            fprintf(stderr, "FAIL: %s gave '%s', want '%s'\n", cases[i].array, seen, cases[i].keys);
        }
    }
}

int main(void) {
    member_values_are_decoded_or_kept_as_written();
    malformed_texts_find_nothing();
    strings_are_cut_to_the_room_given();
    numbers_read_as_integers();
    arrays_yield_each_element_then_stop();
    if (failures) return 1;
    puts("json reader: passed");
    return 0;
}
