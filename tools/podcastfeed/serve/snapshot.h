// What the server answers from between two scans: the rendered feed and show
// page, and a table of every file it may send. Requests for media read only
// this table, never the library.
#pragma once

#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "../feed_job.h"
#include "validators.h"

namespace podcastfeed {

struct ServedFile {
    std::string path;
    std::string content_type;
};

struct Document {
    std::string body;
    const char *content_type;
    Validators validators;
};

struct Snapshot {
    std::string folder;       // canonical
    std::string base_path;    // the base URL's path decoded, no trailing '/' ("" at the root)
    std::string folder_url;   // the base URL with its '/', where the show page is
    std::string feed_url;
    Document feed, page;
    std::map<std::string, ServedFile, std::less<>> files;  // by decoded URL path
    std::vector<std::string> left_out;                      // one line each, for the log
};

// Scans the folder into the library and takes what serving needs from it.
// An episode whose file leads out of the folder is removed before the feed
// is rendered, so the feed lists nothing the server refuses. Calls the
// library: the caller holds the library's lock.
std::shared_ptr<const Snapshot> take_snapshot(const FolderOptions &o, const std::string &origin);

struct Route {
    enum Kind { none, feed, page, folder_without_slash, served } kind = none;
    const ServedFile *file = nullptr;
};

// What a decoded request path names.
Route route(const Snapshot &s, std::string_view path);

}  // namespace podcastfeed
