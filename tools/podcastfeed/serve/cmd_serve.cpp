// podcastfeed serve: the folder's feed, show page and media over HTTP until
// SIGINT or SIGTERM, so the feed's default URLs work and a phone can subscribe.
#include <csignal>
#include <cstdio>

#include <pthread.h>
#include <unistd.h>

#include "../command.h"
#include "../feed_job.h"
#include "../qr/qr.h"
#include "http_server.h"
#include "listen_address.h"
#include "site.h"

namespace podcastfeed {
namespace {

struct ServeOptions {
    FolderOptions folder;
    std::string listen = kDefaultListen;
    bool qr = false;
    std::string qr_png;
    unsigned idle_timeout = 30;
};

// The signals that stop the server, held back from every thread so that the
// main thread alone takes them, when it is ready to stop cleanly.
sigset_t stop_signals() {
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGTERM);
    return set;
}

void print_address(const Snapshot &s, bool qr) {
    // Whoever started us waits for this line: it goes out at once, pipe or not.
    std::printf("%s\n", s.feed_url.c_str());
    if (qr) std::printf("%s", qr_terminal(s.folder_url).c_str());
    std::fflush(stdout);
}

int run_serve(const ServeOptions &o) {
    const sigset_t stop = stop_signals();
    pthread_sigmask(SIG_BLOCK, &stop, nullptr);
    // A client gone mid-answer is the server's to notice, not a reason to die.
    std::signal(SIGPIPE, SIG_IGN);

    ListenAddress address = parse_listen(o.listen);
    const int listen_fd = open_listener(address);
    const std::string origin = listen_origin(address);
    Site site(o.folder, origin);
    const auto first = site.current();
    if (!o.qr_png.empty()) qr_png(first->folder_url, o.qr_png);
    const bool qr = o.qr || (qr_available() && isatty(STDOUT_FILENO));

    HttpServer server(site, listen_fd, address.addr.ss_family, o.idle_timeout);
    print_address(*first, qr);
    std::fprintf(stderr, "podcastfeed: serving %s on %s; the show page is %s; Ctrl-C stops\n", first->folder.c_str(),
                 origin.c_str(), first->folder_url.c_str());
    int signal = 0;
    sigwait(&stop, &signal);
    std::fprintf(stderr, "podcastfeed: stopped\n");
    return kDone;
}

}  // namespace

void add_serve_command(Program &p) {
    auto o = std::make_shared<ServeOptions>();
    auto *cmd = p.app.add_subcommand("serve", "serve the folder's feed, show page and media over HTTP");
    describe(*cmd,
             "Scans DIR as scan does and serves, under the path of the feed's base URL, feed.xml, the show page "
             "(the folder's URL and index.html), every enclosure of the feed and the artwork file when it lies in "
             "the folder: nothing else of the folder and nothing outside it. An episode whose file leads out of "
             "the folder is left out of the feed. The base URL's origin is the listen address (for 0.0.0.0 the "
             "machine's first address that is not loopback) unless --base-url or podcast.json give one. Once "
             "listening, prints the feed URL on standard output (and a QR code of the show page when standard "
             "output is a terminal, or with --qr), then one line per request on standard error: method, path, "
             "status, bytes. Before answering for the feed it looks, at most once a second, whether the folder "
             "changed, and scans it again only then. SIGINT or SIGTERM stops it.");
    add_folder_options(*cmd, o->folder);
    cmd->add_option("--listen", o->listen,
                    "address and port to listen on (default localhost:8080, the library's default origin; "
                    "0.0.0.0:8080 or a LAN address to reach it from a phone; port 0 for any free one)")
        ->type_name("HOST:PORT");
    cmd->add_flag("--qr", o->qr, "print a QR code of the show page under the feed URL, even into a pipe");
    cmd->add_option("--qr-png", o->qr_png, "write a QR code of the show page to FILE as a PNG image")->type_name("FILE");
    cmd->add_option("--idle-timeout", o->idle_timeout,
                    "drop a client that sends or reads nothing for this long, 1 to 3600 (default 30)")
        ->type_name("SECONDS")
        ->check(CLI::Range(1u, 3600u).description(""));
    on_run(p, cmd, [o] { return run_serve(*o); });
}

}  // namespace podcastfeed
