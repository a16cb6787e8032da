// The TagLib side of the probing comparison: each file named after the round
// count is opened and its audio properties read that many times in this one
// process, so start-up is not what is measured, in rounds that alternate with
// media_probe on the same file, so the shared machine weighs on both alike.
// One line per file: the path, the median milliseconds of one probe by
// TagLib, the duration TagLib gives and the median of media_probe.
#include <taglib/audioproperties.h>
#include <taglib/fileref.h>

#include <cstdio>
#include <cstdlib>

#include "bench/bench_util.h"
#include "quorvane_podcastfeed.h"

int main(int argc, char **argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: taglib_driver ROUNDS FILE...\n");
        return 2;
    }
    const int rounds = std::atoi(argv[1]);
    for (int i = 2; i < argc; ++i) {
        double seconds = -1;
        const auto ms = bench::medians_ms(rounds, {[&] {
                                                      // As a host reads a file's length: the
                                                      // default (average) reading style.
                                                      TagLib::FileRef file(argv[i]);
                                                      if (!file.isNull() && file.audioProperties() != nullptr)
                                                          seconds =
                                                              file.audioProperties()->lengthInMilliseconds() / 1000.0;
                                                  },
                                                  [&] { media_probe(argv[i]); }});
        std::printf("%s\t%.4f\t%.3f\t%.4f\n", argv[i], ms[0], seconds, ms[1]);
    }
    return 0;
}
