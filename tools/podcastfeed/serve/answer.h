// The answer to one request: what the path names in the snapshot, judged
// against the method, the conditional headers and the range asked for.
#pragma once

#include <cstdint>

#include <microhttpd.h>

#include "site.h"

namespace podcastfeed {

// What the request log says of an answer.
struct Answered {
    unsigned status = 0;
    std::uint64_t bytes = 0;  // of the body, as queued
};

// Queues the answer; MHD_NO when none could be made (the connection is then closed).
MHD_Result answer(MHD_Connection *c, Site &site, const char *url, const char *method, Answered *out);

}  // namespace podcastfeed
