// Where serve listens: the --listen text read, its socket opened, and the
// origin the feed's URLs take from it.
#pragma once

#include <string>

#include <sys/socket.h>

namespace podcastfeed {

// The library's default origin, on the address it names.
inline constexpr const char *kDefaultListen = "localhost:8080";

struct ListenAddress {
    std::string host;  // as typed, without brackets
    int port = 0;      // 0: any free port, chosen when the socket is opened
    sockaddr_storage addr{};
    socklen_t addr_len = 0;
};

// Reads HOST:PORT ([ADDRESS]:PORT for IPv6). "localhost" is 127.0.0.1, so
// that the default stays on this machine whatever the resolver prefers. A
// malformed text or an unknown host is a usage error.
ListenAddress parse_listen(const std::string &text);

// Binds and listens; the port is then the bound one. A port in use or an
// address not on this machine fails the job, saying which.
int open_listener(ListenAddress &a);

// "http://HOST:PORT" for the URLs of the feed. An address that stands for
// every interface (0.0.0.0, ::) is replaced by the machine's first address
// that is not loopback, the one other machines can reach.
std::string listen_origin(const ListenAddress &a);

}  // namespace podcastfeed
