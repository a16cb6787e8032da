// The work every folder command starts with: the folder made canonical, its
// settings gathered from podcast.json and the command line, the library's
// scan, and what the command adds to it (channel details, artwork from the
// folder, episode details from sidecars, fixed GUIDs, the order).
#pragma once

#include <map>
#include <string>
#include <string_view>
#include <vector>

#include <CLI/CLI.hpp>

#include "quorvane_podcastfeed.h"
#include "settings.h"

namespace podcastfeed {

// What every command that scans a folder takes.
struct FolderOptions {
    std::string dir;
    std::string config;  // --config: a file or a JSON object text
    bool config_given = false;
    Settings given;      // from the command line; wins over the configuration
    bool skip_broken = false;
};

// Adds DIR, --config, every folder setting and --skip-broken to cmd.
void add_folder_options(CLI::App &cmd, FolderOptions &o, bool with_skip_broken = true);

// The folder argument made canonical (absolute, no . or .., no trailing
// separator, links resolved), so that however it is typed the feed is the
// same. A missing folder fails the job; something that is not a folder is a
// usage error.
std::string canonical_folder(const std::string &dir);

// The settings that apply to a folder: its podcast.json (or --config), then
// the command line.
Settings folder_settings(const FolderOptions &o, const std::string &folder);

// The feed the library holds after prepare_feed, and where it came from.
struct Feed {
    std::string folder;      // canonical
    Settings settings;       // as applied
    std::string base_url;    // the folder's public URL, no trailing '/'
    std::string feed_url;    // where feed.xml is published
    std::string artwork_file;              // the channel artwork's file in the folder, or ""
    std::map<std::string, std::string> scan_channel;  // the channel as the scan left it, before the settings
    std::vector<std::string> skipped;      // files --skip-broken left out
    std::vector<std::string> notes;        // sidecar values that could not be used, one line each
};

// The name the feed file is published under, beside the media.
inline constexpr const char *kFeedName = "feed.xml";

// Images taken as the channel artwork when the folder holds one.
inline constexpr std::array<const char *, 2> kCoverNames = {"cover.jpg", "cover.png"};

// Scans the folder into the library and completes the feed. default_origin is
// the scheme, host and port of the base URL when no base_url is set.
Feed prepare_feed(const FolderOptions &o, std::string_view default_origin = PF_DEFAULT_ORIGIN);

// Whether the probe failed for the episode at index: the scan keeps such an
// episode with an empty codec and says nothing.
bool probe_failed(int index);

// An episode's field as text ("" for none).
std::string field(int index, const char *name);

// The last component of a path.
std::string file_name(std::string_view path);

}  // namespace podcastfeed
