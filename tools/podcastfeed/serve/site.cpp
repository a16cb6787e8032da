// The served folder: first scan, rescans when it changed, and the swap.
#include "site.h"

#include <cstdio>

#include "../command.h"

namespace podcastfeed {
namespace {

// Files the feed depends on besides the folder's own: a configuration named
// with --config. A JSON text given there names no file, and so never changes.
std::vector<std::string> files_outside(const FolderOptions &o) {
    if (!o.config_given) return {};
    return {o.config};
}

}  // namespace

void log_left_out(const Snapshot &s) {
    for (const auto &line : s.left_out) std::fprintf(stderr, "podcastfeed: %s\n", line.c_str());
}

Site::Site(const FolderOptions &options, std::string origin) : options_(options), origin_(std::move(origin)) {
    const std::lock_guard lock(library_);
    // Listed before the scan: a change made while it runs is seen at the next look.
    watch_ = std::make_unique<FolderWatch>(canonical_folder(options_.dir), files_outside(options_));
    publish(take_snapshot(options_, origin_));
}

std::shared_ptr<const Snapshot> Site::current() const {
    const std::lock_guard lock(swap_);
    return current_;
}

void Site::publish(std::shared_ptr<const Snapshot> s) {
    log_left_out(*s);
    const std::lock_guard lock(swap_);
    current_ = std::move(s);
}

std::shared_ptr<const Snapshot> Site::fresh() {
    {
        const std::lock_guard lock(library_);
        if (watch_->changed()) {
            try {
                publish(take_snapshot(options_, origin_));
                std::fprintf(stderr, "podcastfeed: the folder changed: feed scanned again\n");
            } catch (const Failure &f) {
                std::fprintf(stderr, "podcastfeed: the folder changed but cannot be scanned: %s (the last feed stays)\n",
                             f.message.c_str());
            }
        }
    }
    return current();
}

}  // namespace podcastfeed
