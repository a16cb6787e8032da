// The served folder over time: the current snapshot, replaced whole after a
// rescan, and the one lock every call into the library is made under.
#pragma once

#include <memory>
#include <mutex>
#include <string>

#include "../feed_job.h"
#include "folder_watch.h"
#include "snapshot.h"

namespace podcastfeed {

class Site {
public:
    // Scans the folder a first time; a failure ends the command.
    Site(const FolderOptions &options, std::string origin);

    // The snapshot as it stands, for requests that must not wait on a scan.
    std::shared_ptr<const Snapshot> current() const;

    // The snapshot to answer a feed or page request with: rescanned first
    // when the folder changed. A failed rescan is logged and the last good
    // snapshot stays.
    std::shared_ptr<const Snapshot> fresh();

private:
    void publish(std::shared_ptr<const Snapshot> s);

    FolderOptions options_;
    std::string origin_;
    std::mutex library_;  // the library is not reentrant; also guards watch_
    std::unique_ptr<FolderWatch> watch_;
    mutable std::mutex swap_;
    std::shared_ptr<const Snapshot> current_;
};

// Notes from a snapshot, on standard error.
void log_left_out(const Snapshot &s);

}  // namespace podcastfeed
