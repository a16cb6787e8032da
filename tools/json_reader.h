/* Reads the compact JSON texts that the library returns, for the command's
 * readable tables. Texts are the caller's; nothing is allocated. */
#ifndef PF_TOOL_JSON_READER_H
#define PF_TOOL_JSON_READER_H

#include <stddef.h>

/* The first position at or after p that is not JSON whitespace. */
const char *json_skip_space(const char *p);

/* Copies the value of the first member named key of the object text obj into
 * out (cut to cap - 1 bytes): a string decoded, any other value as written.
 * Returns 1 when found; out is then the value, otherwise empty. */
int json_member(const char *obj, const char *key, char *out, size_t cap);

/* The member as a decimal integer; 0 when absent or not a number. */
long long json_number(const char *obj, const char *key);

/* Steps through an array text: *cursor starts at its '[' and each call
 * returns the start of the next element (its text runs on past it), or NULL
 * at the end and on malformed text. */
const char *json_next_element(const char **cursor);

#endif
