/* The smallest outside host: proves that an installed library answers through
 * the installed header, however the build found the two. */
#include <stdio.h>
#include <string.h>

#include "quorvane_podcastfeed.h"

int main(void) {
    if (feed_channel_set("title", "Installed") != 0) {
        fprintf(stderr, "host: %s\n", feed_last_error());
        return 1;
    }
    const char *channel = feed_channel_json();
    const char *probe = media_probe("");
    if (strcmp(channel, "{\"title\":\"Installed\"}") != 0 || strstr(probe, "\"error\"") == NULL) {
        fprintf(stderr, "host: unexpected answers %s %s\n", channel, probe);
        return 1;
    }
    puts(channel);
    return 0;
}
