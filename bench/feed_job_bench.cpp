// The folder-to-feed job as a host runs it, once per process: the shared
// library loaded, one feed_episode_scan and one feed_generate_to. The suite
// (bench/suite.py) times the whole process and reads its user and system
// time and its peak memory, beside the floor and the peers run the same way.
// With --loaded-only it loads the library and does nothing: the memory a
// host pays for the library itself.
#include <cstdio>
#include <cstring>

#include "quorvane_podcastfeed.h"

int main(int argc, char **argv) {
    if (argc == 2 && std::strcmp(argv[1], "--loaded-only") == 0) return *feed_last_error() ? 1 : 0;
    if (argc != 3) {
        std::fprintf(stderr, "usage: feed_job_bench FOLDER FEED_FILE | --loaded-only\n");
        return 2;
    }
    if (feed_episode_scan(argv[1], nullptr) != 0 || feed_generate_to(argv[2]) != 0) {
        std::fprintf(stderr, "feed_job_bench: %s\n", feed_last_error());
        return 1;
    }
    return 0;
}
