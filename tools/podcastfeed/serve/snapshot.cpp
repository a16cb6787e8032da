// The snapshot: taken from the library after a scan, read by every request.
#include "snapshot.h"

#include <ctime>

#include "../command.h"
#include "../image_info.h"
#include "../json.h"
#include "../page/show_page.h"
#include "../urls.h"
#include "served_file.h"

namespace podcastfeed {
namespace {

constexpr const char *kFeedType = "application/rss+xml";
constexpr const char *kPageType = "text/html; charset=utf-8";

// The decoded path of a URL of the feed, "" when it has none.
std::string decoded_path(std::string_view url) {
    std::string path;
    if (!percent_decode(url_path(url), &path)) return "";
    return path;
}

std::string image_type(const std::string &path) {
    ImageInfo info;
    if (read_image_info(path, &info)) {
        if (info.format == "JPEG") return "image/jpeg";
        if (info.format == "PNG") return "image/png";
    }
    return "application/octet-stream";
}

void leave_out_escaping_episodes(const std::string &folder, Snapshot &s) {
    for (int i = feed_episode_count() - 1; i >= 0; --i) {
        const std::string file = field(i, "file");
        if (resolved_inside(folder, file)) continue;
        s.left_out.push_back(file_name(file) + ": left out, it leads out of the folder");
        if (feed_episode_remove(i) != 0) library_failed("feed_episode_remove failed");
    }
}

void add_artwork(const Feed &feed, Snapshot &s) {
    if (feed.artwork_file.empty()) return;
    if (!resolved_inside(feed.folder, feed.artwork_file)) {
        s.left_out.push_back(file_name(feed.artwork_file) + ": not served, the artwork leads out of the folder");
        return;
    }
    JsonDoc channel;
    if (!json_parse(feed_channel_json(), &channel) || !channel.IsObject()) return;
    if (auto url = json_text(channel, "artwork"))
        s.files[decoded_path(*url)] = {feed.artwork_file, image_type(feed.artwork_file)};
}

}  // namespace

std::shared_ptr<const Snapshot> take_snapshot(const FolderOptions &o, const std::string &origin) {
    auto s = std::make_shared<Snapshot>();
    const Feed feed = prepare_feed(o, origin);
    s->folder = feed.folder;
    leave_out_escaping_episodes(feed.folder, *s);
    for (const auto &file : feed.skipped) s->left_out.push_back(file_name(file) + ": left out, it cannot be probed");

    const char *rendered = feed_generate();
    if (!rendered[0]) library_failed("feed_generate failed");
    const std::int64_t now = std::time(nullptr);
    s->feed = {rendered, kFeedType, {text_etag(rendered), now}};
    std::string page = show_page_html(feed);
    const std::string page_tag = text_etag(page);
    s->page = {std::move(page), kPageType, {page_tag, now}};

    s->base_path = decoded_path(feed.base_url);
    while (s->base_path.ends_with('/')) s->base_path.pop_back();
    s->folder_url = feed.base_url + "/";
    s->feed_url = feed.feed_url;
    for (int i = 0; i < feed_episode_count(); ++i) {
        const std::string path = decoded_path(field(i, "url"));
        if (!path.empty()) s->files.try_emplace(path, ServedFile{field(i, "file"), field(i, "mime")});
    }
    add_artwork(feed, *s);
    return s;
}

Route route(const Snapshot &s, std::string_view path) {
    if (const auto at = s.files.find(path); at != s.files.end()) return {Route::served, &at->second};
    if (!path.starts_with(s.base_path)) return {};
    const std::string_view rest = path.substr(s.base_path.size());
    if (rest == std::string("/") + kFeedName) return {Route::feed};
    if (rest == "/" || rest == std::string("/") + kPageName) return {Route::page};
    if (rest.empty()) return {Route::folder_without_slash};
    return {};
}

}  // namespace podcastfeed
