// The folder's feed: canonical folder, settings, the library's scan and what
// the command completes it with.
#include "feed_job.h"

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <map>
#include <numeric>
#include <set>

#include "command.h"
#include "dates.h"
#include "json.h"
#include "urls.h"

namespace podcastfeed {

namespace fs = std::filesystem;

void add_folder_options(CLI::App &cmd, FolderOptions &o, bool with_skip_broken) {
    cmd.add_option("DIR", o.dir, "the folder of media files")->required()->type_name("");
    cmd.add_option_function<std::string>(
           "--config",
           [&o](const std::string &v) {
               o.config = v;
               o.config_given = true;
           },
           "configuration file, or a JSON object text, in place of the folder's podcast.json")
        ->type_name("FILE|JSON");
    add_setting_options(cmd, o.given);
    if (with_skip_broken)
        cmd.add_flag("--skip-broken", o.skip_broken, "leave out episodes whose media file could not be probed");
}

std::string canonical_folder(const std::string &dir) {
    if (dir.empty()) usage_error("the folder argument is empty");
    std::error_code ec;
    const fs::path p = fs::canonical(fs::path(dir), ec);
    if (ec) job_failed("cannot open folder " + dir + ": " + ec.message());
    if (!fs::is_directory(p, ec))
        usage_error(dir + " is not a folder (give the folder that holds the media files)");
    return p.string();
}

Settings folder_settings(const FolderOptions &o, const std::string &folder) {
    Settings file;
    if (o.config_given) {
        const auto first = o.config.find_first_not_of(" \t\r\n");
        if (first == std::string::npos) usage_error("--config needs a file or a JSON object");
        if (o.config[first] == '{' || o.config[first] == '[') {
            file = parse_settings(o.config, "--config", fs::current_path().string());
        } else {
            auto read = read_settings_file(o.config);
            if (!read) job_failed("cannot read configuration " + o.config + ": no such file");
            file = *read;
        }
    } else if (auto read = read_settings_file((fs::path(folder) / kConfigName).string())) {
        file = *read;
    }
    Settings given = o.given;
    // Paths typed on the command line are the shell's, relative to here.
    if (given[kLocalRoot] && !given[kLocalRoot]->empty())
        given[kLocalRoot] = fs::absolute(*given[kLocalRoot]).string();
    return merged(file, given);
}

std::string field(int index, const char *name) {
    const char *v = feed_episode_field(index, name);
    return v ? v : "";
}

bool probe_failed(int index) { return field(index, "codec").empty(); }

std::string file_name(std::string_view path) {
    const auto at = path.find_last_of("/\\");
    return std::string(at == std::string_view::npos ? path : path.substr(at + 1));
}

namespace {

// The library's default for a folder that has no base URL: the origin, then
// the folder's path below /data/dist/ (else the whole path).
std::string default_base_url(std::string_view origin, const std::string &folder) {
    constexpr std::string_view kDistributionRoot = "/data/dist/";
    std::string_view dist = folder;
    if (dist.starts_with(kDistributionRoot)) dist.remove_prefix(kDistributionRoot.size());
    const std::vector<std::string> segments = path_segments(dist, "/");
    std::string url = url_under(origin, segments);
    return segments.empty() ? url + "/" : url;
}

// The folder's public URL: the base, and with a local root above the folder
// each segment between them, so that enclosure names are the only encoded
// part of their URLs.
std::string folder_base_url(const Settings &s, const std::string &folder, std::string_view origin) {
    if (!s[kBaseUrl] || s[kBaseUrl]->empty()) {
        if (s[kLocalRoot] && !s[kLocalRoot]->empty())
            usage_error("local_root needs base_url, the public URL that folder is served under");
        return default_base_url(origin, folder);
    }
    std::string base = *s[kBaseUrl];
    while (base.ends_with('/') && !base.ends_with("://")) base.pop_back();
    if (!s[kLocalRoot] || s[kLocalRoot]->empty()) return base;
    std::error_code ec;
    const fs::path root = fs::canonical(*s[kLocalRoot], ec);
    if (ec) usage_error("local root " + *s[kLocalRoot] + ": " + ec.message());
    const fs::path rel = fs::path(folder).lexically_relative(root);
    if (rel.empty() || *rel.begin() == "..")
        usage_error("the local root " + root.string() + " does not hold the folder " + folder);
    std::vector<std::string> segments;
    for (const auto &part : rel)
        if (part != ".") segments.push_back(part.string());
    return url_under(base, segments);
}

std::string scan_config(const std::string &base_url, const std::string &folder) {
    rapidjson::StringBuffer out;
    JsonWriter w(out);
    w.StartObject();
    w.Key("base_url");
    json_put_text(w, base_url);
    w.Key("local_root");
    json_put_text(w, folder);
    w.EndObject();
    return std::string(out.GetString(), out.GetSize());
}

void set_episode(int index, const char *key, const std::string &value) {
    if (feed_episode_set(index, key, value.c_str()) != 0) library_failed("feed_episode_set failed");
}

// The names of the folder's JSON files: a folder of thousands of episodes
// with few sidecars is then not asked once per episode for a missing file.
std::set<std::string> json_names(const std::string &folder) {
    std::set<std::string> names;
    std::error_code ec;
    for (const auto &entry : fs::directory_iterator(folder, ec))
        if (entry.path().extension() == ".json") names.insert(entry.path().filename().string());
    return names;
}

// A sidecar's "title", "pubDate" and "guid" for its episode. The library
// reads only the image and author; the rest of a sidecar is the command's.
void apply_sidecar(int index, const std::string &file, Feed &feed, const std::set<std::string> &sidecars) {
    if (!sidecars.count(fs::path(file).stem().string() + ".json")) return;
    const char *stored = feed_sidecar_read(file.c_str());
    if (!stored[0]) return;
    JsonDoc doc;
    if (!json_parse(stored, &doc) || !doc.IsObject()) {
        feed.notes.push_back(file_name(file) + ": its sidecar is not a JSON object");
        return;
    }
    if (auto title = json_text(doc, "title"); title && !title->empty()) set_episode(index, "title", *title);
    if (auto date = json_text(doc, "pubDate"); date && !date->empty()) {
        if (parse_rfc1123(*date)) set_episode(index, "pubDate", *date);
        else if (auto t = parse_iso8601(*date)) set_episode(index, "pubDate", format_rfc1123(*t));
        else feed.notes.push_back(file_name(file) + ": sidecar pubDate \"" + *date + "\" is no date I can read");
    }
    if (auto guid = json_text(doc, "guid"); guid && !guid->empty()) {
        field(index, "url");  // derives first, so that the GUID set next stays
        set_episode(index, "guid", *guid);
    }
}

void skip_broken(Feed &feed) {
    for (int i = feed_episode_count() - 1; i >= 0; --i) {
        if (!probe_failed(i)) continue;
        feed.skipped.push_back(field(i, "file"));
        if (feed_episode_remove(i) != 0) library_failed("feed_episode_remove failed");
    }
    std::reverse(feed.skipped.begin(), feed.skipped.end());
}

// Puts the episodes in the asked order with the library's own moves.
void reorder(const std::string &order) {
    if (order == "name") return;
    const int n = feed_episode_count();
    struct Key {
        std::int64_t date;
        std::string name;
        int index;
    };
    std::vector<Key> keys;
    keys.reserve(static_cast<std::size_t>(n));
    for (int i = 0; i < n; ++i)
        keys.push_back({parse_pub_date(field(i, "pubDate")).value_or(INT64_MIN), file_name(field(i, "file")), i});
    const bool newest = order == "newest";
    std::stable_sort(keys.begin(), keys.end(), [newest](const Key &a, const Key &b) {
        if (a.date != b.date) return newest ? a.date > b.date : a.date < b.date;
        return a.name < b.name;
    });
    // where[k]: the current position of the episode first at position k.
    std::vector<int> where(static_cast<std::size_t>(n));
    std::iota(where.begin(), where.end(), 0);
    for (int target = 0; target < n; ++target) {
        const int from = where[static_cast<std::size_t>(keys[static_cast<std::size_t>(target)].index)];
        if (from == target) continue;
        if (feed_episode_move(from, target) != 0) library_failed("feed_episode_move failed");
        for (auto &w : where)
            if (w >= target && w < from) ++w;
        where[static_cast<std::size_t>(keys[static_cast<std::size_t>(target)].index)] = target;
    }
}

// The artwork image in the folder: the configured file, else a cover image.
std::string artwork_in_folder(const Settings &s, const std::string &folder) {
    std::error_code ec;
    if (s[kArtworkFile] && !s[kArtworkFile]->empty()) {
        const fs::path p = fs::weakly_canonical(fs::path(folder) / *s[kArtworkFile], ec);
        const fs::path rel = p.lexically_relative(folder);
        // Only what lies in the folder is published with it.
        if (ec || rel.empty() || *rel.begin() == ".." || !fs::is_regular_file(p, ec))
            usage_error("artwork_file " + *s[kArtworkFile] + " is not a file in " + folder);
        return p.string();
    }
    for (const char *name : kCoverNames) {
        const fs::path p = fs::path(folder) / name;
        if (fs::is_regular_file(p, ec)) return p.string();
    }
    return "";
}

void set_channel(const char *key, const std::string &value) {
    if (feed_channel_set(key, value.c_str()) != 0) library_failed("feed_channel_set failed");
}

}  // namespace

Feed prepare_feed(const FolderOptions &o, std::string_view default_origin) {
    Feed feed;
    feed.folder = canonical_folder(o.dir);
    feed.settings = folder_settings(o, feed.folder);
    const Settings &s = feed.settings;
    feed.base_url = folder_base_url(s, feed.folder, default_origin);
    while (feed.base_url.ends_with('/')) feed.base_url.pop_back();
    feed.feed_url = feed.base_url + "/" + kFeedName;

    const std::string config = scan_config(feed.base_url, feed.folder);
    if (feed_episode_scan(feed.folder.c_str(), config.c_str()) != 0) library_failed("feed_episode_scan failed");

    JsonDoc channel;
    if (json_parse(feed_channel_json(), &channel) && channel.IsObject())
        for (auto m = channel.MemberBegin(); m != channel.MemberEnd(); ++m)
            if (m->value.IsString()) feed.scan_channel[m->name.GetString()] = m->value.GetString();

    if (o.skip_broken) skip_broken(feed);
    // Reading a field costs the library a little, so a folder of thousands of
    // episodes without sidecars or a GUID prefix reads none.
    const bool prefix = s[kGuidPrefix] && !s[kGuidPrefix]->empty();
    const auto sidecars = json_names(feed.folder);
    std::vector<std::string> files;
    if (prefix || !sidecars.empty())
        for (int i = 0; i < feed_episode_count(); ++i) files.push_back(field(i, "file"));
    if (prefix) {
        for (int i = 0; i < feed_episode_count(); ++i) {
            field(i, "url");  // derives first, so that the GUID set next stays
            set_episode(i, "guid", *s[kGuidPrefix] + "/" + file_name(files[static_cast<std::size_t>(i)]));
        }
    }
    // After the prefix: a sidecar's own GUID pins its episode.
    if (!sidecars.empty())
        for (int i = 0; i < feed_episode_count(); ++i) apply_sidecar(i, files[static_cast<std::size_t>(i)], feed, sidecars);
    reorder(s[kOrder].value_or("name"));

    for (const auto &d : kSettings)
        if (d.channel_key && s[d.id]) set_channel(d.channel_key, *s[d.id]);
    if (!s[kArtwork]) {
        feed.artwork_file = artwork_in_folder(s, feed.folder);
        if (!feed.artwork_file.empty()) {
            const fs::path rel = fs::path(feed.artwork_file).lexically_relative(feed.folder);
            std::vector<std::string> segments;
            for (const auto &part : rel) segments.push_back(part.string());
            set_channel("artwork", url_under(feed.base_url, segments));
        }
    }
    return feed;
}

}  // namespace podcastfeed
