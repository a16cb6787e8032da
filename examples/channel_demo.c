/* Sets a few channel settings and prints them back as JSON: the smallest host
 * of the library, written in plain C against the public header alone. */
#include <stdio.h>

#include "quorvane_podcastfeed.h"

int main(void) {
    if (feed_channel_set("title", "My Music") != 0 || feed_channel_set("language", "en") != 0 ||
        feed_channel_set("author", "Quorvane \"Demo\"") != 0) {
        fprintf(stderr, "channel_demo: %s\n", feed_last_error());
        return 1;
    }
    if (feed_channel_set("Title", "ignored") != 0)
        fprintf(stderr, "channel_demo: expected refusal: %s\n", feed_last_error());
    printf("%s\n", feed_channel_json());
    return 0;
}
