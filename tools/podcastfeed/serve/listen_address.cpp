// The listen address: read, opened, and turned into the feed's origin.
#include "listen_address.h"

#include <cerrno>
#include <charconv>
#include <cstring>

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <netdb.h>
#include <netinet/in.h>
#include <unistd.h>

#include "../command.h"

namespace podcastfeed {
namespace {

[[noreturn]] void bad_listen(const std::string &text, const std::string &why) {
    usage_error("--listen " + text + ": " + why + " (give HOST:PORT, such as 127.0.0.1:8080, 0.0.0.0:8080 or [::1]:8080)");
}

std::string numeric_host(const sockaddr *sa) {
    char text[INET6_ADDRSTRLEN] = "";
    const void *bytes = sa->sa_family == AF_INET6 ? static_cast<const void *>(&reinterpret_cast<const sockaddr_in6 *>(sa)->sin6_addr)
                                                  : static_cast<const void *>(&reinterpret_cast<const sockaddr_in *>(sa)->sin_addr);
    inet_ntop(sa->sa_family, bytes, text, sizeof text);
    return text;
}

bool is_any_address(const sockaddr_storage &a) {
    if (a.ss_family == AF_INET)
        return reinterpret_cast<const sockaddr_in &>(a).sin_addr.s_addr == htonl(INADDR_ANY);
    const auto &v6 = reinterpret_cast<const sockaddr_in6 &>(a).sin6_addr;
    return IN6_IS_ADDR_UNSPECIFIED(&v6);
}

// Loopback cannot reach a phone; a link-local IPv6 address needs a zone no URL carries.
bool reachable_from_others(const sockaddr *sa) {
    if (sa->sa_family == AF_INET)
        return (ntohl(reinterpret_cast<const sockaddr_in *>(sa)->sin_addr.s_addr) >> 24) != 127;
    const auto &v6 = reinterpret_cast<const sockaddr_in6 *>(sa)->sin6_addr;
    return !IN6_IS_ADDR_LOOPBACK(&v6) && !IN6_IS_ADDR_LINKLOCAL(&v6);
}

std::string first_outside_address(int family) {
    ifaddrs *list = nullptr;
    if (getifaddrs(&list) != 0) return "";
    std::string found;
    for (const ifaddrs *i = list; i && found.empty(); i = i->ifa_next) {
        if (!i->ifa_addr || i->ifa_addr->sa_family != family) continue;
        if (!(i->ifa_flags & IFF_UP) || (i->ifa_flags & IFF_LOOPBACK)) continue;
        if (reachable_from_others(i->ifa_addr)) found = numeric_host(i->ifa_addr);
    }
    freeifaddrs(list);
    return found;
}

std::string url_host_of(const std::string &host, int family) {
    return family == AF_INET6 ? "[" + host + "]" : host;
}

}  // namespace

ListenAddress parse_listen(const std::string &text) {
    ListenAddress a;
    std::string port_text;
    if (text.starts_with('[')) {
        const auto close = text.find(']');
        if (close == std::string::npos || close + 1 >= text.size() || text[close + 1] != ':')
            bad_listen(text, "an IPv6 address in brackets needs :PORT after it");
        a.host = text.substr(1, close - 1);
        port_text = text.substr(close + 2);
    } else {
        const auto colon = text.rfind(':');
        if (colon == std::string::npos) bad_listen(text, "no port");
        a.host = text.substr(0, colon);
        port_text = text.substr(colon + 1);
        if (a.host.find(':') != std::string::npos) bad_listen(text, "put an IPv6 address in brackets");
    }
    if (a.host.empty()) bad_listen(text, "no host");
    const char *end = port_text.data() + port_text.size();
    const auto [stop, ec] = std::from_chars(port_text.data(), end, a.port);
    if (port_text.empty() || ec != std::errc() || stop != end || a.port < 0 || a.port > 65535)
        bad_listen(text, "the port must be a number from 0 to 65535");

    addrinfo hints{};
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_NUMERICSERV;
    hints.ai_family = AF_UNSPEC;
    const std::string resolve = a.host == "localhost" ? "127.0.0.1" : a.host;
    addrinfo *found = nullptr;
    const int rc = getaddrinfo(resolve.c_str(), port_text.c_str(), &hints, &found);
    if (rc != 0 || !found) bad_listen(text, std::string("unknown host: ") + gai_strerror(rc));
    // The first IPv4 address when the name has one: it is what most networks route.
    const addrinfo *pick = found;
    for (const addrinfo *i = found; i; i = i->ai_next)
        if (i->ai_family == AF_INET) {
            pick = i;
            break;
        }
    std::memcpy(&a.addr, pick->ai_addr, pick->ai_addrlen);
    a.addr_len = static_cast<socklen_t>(pick->ai_addrlen);
    freeaddrinfo(found);
    return a;
}

int open_listener(ListenAddress &a) {
    const std::string where = url_host_of(a.host, a.addr.ss_family) + ":" + std::to_string(a.port);
    const int fd = socket(a.addr.ss_family, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) job_failed("cannot listen on " + where + ": " + system_reason(errno));
    const int on = 1;
    // A restart may bind while the last run's connections linger in TIME_WAIT.
    setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    if (a.addr.ss_family == AF_INET6) setsockopt(fd, IPPROTO_IPV6, IPV6_V6ONLY, &on, sizeof on);
    if (bind(fd, reinterpret_cast<const sockaddr *>(&a.addr), a.addr_len) != 0 || listen(fd, SOMAXCONN) != 0) {
        const int err = errno;
        close(fd);
        if (err == EADDRINUSE) job_failed("cannot listen on " + where + ": the port is in use (choose another with --listen)");
        job_failed("cannot listen on " + where + ": " + system_reason(err));
    }
    sockaddr_storage bound{};
    socklen_t len = sizeof bound;
    if (getsockname(fd, reinterpret_cast<sockaddr *>(&bound), &len) == 0)
        a.port = ntohs(bound.ss_family == AF_INET6 ? reinterpret_cast<const sockaddr_in6 &>(bound).sin6_port
                                                   : reinterpret_cast<const sockaddr_in &>(bound).sin_port);
    return fd;
}

std::string listen_origin(const ListenAddress &a) {
    std::string host = a.host;
    if (is_any_address(a.addr)) {
        host = first_outside_address(a.addr.ss_family);
        if (host.empty()) host = a.addr.ss_family == AF_INET6 ? "::1" : "localhost";
    }
    return "http://" + url_host_of(host, host == "localhost" ? AF_INET : a.addr.ss_family) + ":" + std::to_string(a.port);
}

}  // namespace podcastfeed
