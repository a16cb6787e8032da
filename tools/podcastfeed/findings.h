// What stands between a folder and publishing it: errors a listener would
// meet, and warnings a podcaster wants to know of, each naming its file or
// setting.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "feed_job.h"

namespace podcastfeed {

struct Finding {
    bool error;
    std::string where;  // a file name or a setting
    std::string what;
};

// The findings for the feed prepare_feed left in the library.
std::vector<Finding> ready_to_publish(const Feed &feed);

// One line per finding; returns the number of errors and warnings.
struct Tally {
    int errors = 0, warnings = 0;
};
Tally print_findings(std::FILE *to, const std::vector<Finding> &findings);

}  // namespace podcastfeed
