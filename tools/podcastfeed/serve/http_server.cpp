// The daemon: a few polling threads for every connection, each connection
// bounded in count, idle time and memory, and a log line when a request ends.
#include "http_server.h"

#include <cstdio>
#include <cstring>
#include <string>

#include <microhttpd.h>
#include <sys/socket.h>
#include <unistd.h>

#include "../command.h"
#include "answer.h"

namespace podcastfeed {
namespace {

// Threads that each poll their share of the connections: a rescan holds up
// only the one it runs on.
constexpr unsigned kThreads = 4;
// Every connection costs a descriptor and its memory; a phone app opens a
// handful, so one address may not take the server for itself.
constexpr unsigned kMaxConnections = 256;
constexpr unsigned kMaxPerAddress = 32;
// Bounds the request line and headers together (the rest goes to the reply's
// headers): a longer request is refused with 414 or 431.
constexpr std::size_t kConnectionMemory = 16 * 1024;

struct RequestLog {
    std::string method, target;
    Answered answered;
};

// Control bytes of a hostile target must not reach the terminal as they are.
std::string printable(std::string text) {
    for (char &c : text)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) c = '?';
    return text;
}

MHD_Result on_request(void *cls, MHD_Connection *c, const char *url, const char *method, const char *,
                      const char *, std::size_t *upload_size, void **request) {
    // Answered at the first call, before any body is read: no request here needs one.
    if (*request) {
        *upload_size = 0;
        return MHD_YES;
    }
    try {
        auto *log = new RequestLog{method, url, {}};
        *request = log;
        return answer(c, *static_cast<Site *>(cls), url, method, &log->answered);
    } catch (const std::exception &e) {
        std::fprintf(stderr, "podcastfeed: %s %s: %s\n", method, printable(url).c_str(), e.what());
        return MHD_NO;
    }
}

void on_completed(void *, MHD_Connection *, void **request, MHD_RequestTerminationCode how) {
    auto *log = static_cast<RequestLog *>(*request);
    if (!log) return;
    *request = nullptr;
    const char *end = how == MHD_REQUEST_TERMINATED_COMPLETED_OK ? "" : " (cut short)";
    if (log->answered.status)
        std::fprintf(stderr, "%s %s %u %llu%s\n", log->method.c_str(), printable(log->target).c_str(),
                     log->answered.status, static_cast<unsigned long long>(log->answered.bytes), end);
    delete log;
}

// Request targets reach the handler as sent: it decodes them itself, and
// refuses what cannot be a file's path.
std::size_t keep_escapes(void *, MHD_Connection *, char *s) { return std::strlen(s); }

}  // namespace

HttpServer::HttpServer(Site &site, int listen_fd, int family, unsigned idle_timeout) {
    unsigned flags = MHD_USE_AUTO_INTERNAL_THREAD;
    if (family == AF_INET6) flags |= MHD_USE_IPv6;
    daemon_ = MHD_start_daemon(
        flags, 0, nullptr, nullptr, &on_request, &site, MHD_OPTION_LISTEN_SOCKET, listen_fd,
        MHD_OPTION_THREAD_POOL_SIZE, kThreads, MHD_OPTION_CONNECTION_LIMIT, kMaxConnections,
        MHD_OPTION_PER_IP_CONNECTION_LIMIT, kMaxPerAddress, MHD_OPTION_CONNECTION_TIMEOUT, idle_timeout,
        MHD_OPTION_CONNECTION_MEMORY_LIMIT, kConnectionMemory, MHD_OPTION_NOTIFY_COMPLETED, &on_completed, nullptr,
        MHD_OPTION_UNESCAPE_CALLBACK, &keep_escapes, nullptr, MHD_OPTION_END);
    if (!daemon_) {
        close(listen_fd);
        job_failed("the HTTP server did not start");
    }
}

HttpServer::~HttpServer() { MHD_stop_daemon(daemon_); }

}  // namespace podcastfeed
