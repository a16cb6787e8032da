// The HTTP server: the embedded library's daemon on a listening socket, its
// limits, and one log line per request on standard error.
#pragma once

#include "site.h"

struct MHD_Daemon;

namespace podcastfeed {

class HttpServer {
public:
    // Serves site on listen_fd (taken over: closed with the server). A
    // client that sends or reads nothing for idle_timeout seconds is dropped.
    HttpServer(Site &site, int listen_fd, int family, unsigned idle_timeout);
    HttpServer(const HttpServer &) = delete;
    HttpServer &operator=(const HttpServer &) = delete;
    // Stops: open connections are closed, the threads joined.
    ~HttpServer();

private:
    MHD_Daemon *daemon_ = nullptr;
};

}  // namespace podcastfeed
