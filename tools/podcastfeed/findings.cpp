// The ready-to-publish findings.
#include "findings.h"

#include <chrono>
#include <filesystem>
#include <set>

#include "image_info.h"
#include "json.h"
#include "urls.h"

namespace podcastfeed {

namespace fs = std::filesystem;

namespace {

// Files still being copied have changed within this many seconds.
constexpr auto kStillCopying = std::chrono::seconds(60);

// What podcast directories ask of the channel artwork.
constexpr int kArtworkMinSide = 1400, kArtworkMaxSide = 3000;

struct Collector {
    std::vector<Finding> out;
    void error(std::string where, std::string what) { out.push_back({true, std::move(where), std::move(what)}); }
    void warning(std::string where, std::string what) { out.push_back({false, std::move(where), std::move(what)}); }
};

void check_episodes(Collector &c) {
    if (feed_episode_count() == 0) c.error("feed", "no episode: the folder holds no .mp3, .m4a or .mp4 file");
    for (int i = 0; i < feed_episode_count(); ++i) {
        const std::string file = field(i, "file");
        if (probe_failed(i)) {
            JsonDoc probe;
            std::string reason = "unreadable";
            if (json_parse(media_probe(file.c_str()), &probe)) reason = json_text(probe, "error").value_or(reason);
            c.error(file_name(file), "cannot be read as media (" + reason + "); listeners would get a broken episode");
        } else if (field(i, "duration_s") == "0") {
            c.error(file_name(file), "has a duration of 0:00 (broken or half-copied?)");
        }
    }
}

void check_base_url(Collector &c, const Feed &feed) {
    const std::string scheme = url_scheme(feed.base_url);
    const std::string host = url_host(feed.base_url);
    if (scheme != "http" && scheme != "https")
        c.error("base_url", "\"" + feed.base_url + "\" is not an http or https URL");
    else if (host == "localhost" || host == "127.0.0.1" || host == "::1" ||
             feed.base_url.starts_with(PF_DEFAULT_ORIGIN))
        c.error("base_url", "\"" + feed.base_url + "\" points at this machine; set \"base_url\" to the public URL");
}

void check_channel(Collector &c, const Feed &feed) {
    JsonDoc channel;
    if (!json_parse(feed_channel_json(), &channel)) return;
    if (json_text(channel, "artwork").value_or("") == PF_DEFAULT_ARTWORK_URL)
        c.error("artwork", "the placeholder artwork; add cover.jpg or set \"artwork\"");
    for (Setting s : {kDescription, kAuthor, kCategory}) {
        const char *key = kSettings[s].channel_key;
        const std::string value = json_text(channel, key).value_or("");
        const auto scan = feed.scan_channel.find(key);
        if (scan != feed.scan_channel.end() && scan->second == value)
            c.warning(key, "still the scan's default (\"" + value + "\"); set \"" + kSettings[s].member + "\" in podcast.json");
    }
}

void check_artwork_image(Collector &c, const Feed &feed) {
    if (feed.artwork_file.empty()) return;
    const std::string name = file_name(feed.artwork_file);
    ImageInfo info;
    if (!read_image_info(feed.artwork_file, &info)) return c.error(name, "cannot be read");
    if (info.format.empty()) return c.error(name, "is neither a JPEG nor a PNG image");
    const std::string size = std::to_string(info.width) + "x" + std::to_string(info.height);
    if (info.width != info.height) c.warning(name, "is " + size + "; podcast directories want a square image");
    if (std::min(info.width, info.height) < kArtworkMinSide || std::max(info.width, info.height) > kArtworkMaxSide)
        c.warning(name, "is " + size + "; podcast directories want 1400 to 3000 pixels a side");
}

// Files of the folder that are not episodes: what the scan left out and why.
void check_folder(Collector &c, const Feed &feed) {
    std::set<std::string> episodes;
    for (int i = 0; i < feed_episode_count(); ++i) episodes.insert(file_name(field(i, "file")));
    // The scan takes names in byte order, so the files it had no room for sort after its last.
    const bool full = feed_episode_count() >= PF_MAX_EPISODES;
    const std::string last = episodes.empty() ? "" : *episodes.rbegin();
    const auto now = fs::file_time_type::clock::now();
    int folders = 0, other_media = 0;
    std::error_code ec;
    for (const auto &entry : fs::directory_iterator(feed.folder, ec)) {
        const std::string name = entry.path().filename().string();
        std::error_code entry_ec;
        if (entry.is_directory(entry_ec)) {
            ++folders;
            continue;
        }
        if (name.starts_with("._")) c.warning(name, "is a macOS companion file, not media; delete it");
        if (episodes.count(name)) {
            const auto modified = entry.last_write_time(entry_ec);
            if (!entry_ec && now - modified < kStillCopying)
                c.warning(name, "changed less than a minute ago (still being copied?)");
            continue;
        }
        const std::string path = entry.path().string();
        JsonDoc probe;
        if (!json_parse(media_probe(path.c_str()), &probe) || json_member(probe, "error")) continue;
        if (full && name > last) {
            c.warning(name, "is left out: the feed holds at most " + std::to_string(PF_MAX_EPISODES) + " episodes");
        } else {
            ++other_media;
        }
    }
    if (other_media)
        c.warning("folder", std::to_string(other_media) +
                                " media file(s) of a type the scan leaves out (.wav, .mov, .m4v); convert them to .mp3, .m4a or .mp4");
    if (folders) c.warning("folder", std::to_string(folders) + " sub-folder(s) the scan does not look into");
}

}  // namespace

std::vector<Finding> ready_to_publish(const Feed &feed) {
    Collector c;
    check_episodes(c);
    check_base_url(c, feed);
    check_channel(c, feed);
    check_artwork_image(c, feed);
    check_folder(c, feed);
    for (const auto &note : feed.notes) c.warning("sidecar", note);
    return c.out;
}

Tally print_findings(std::FILE *to, const std::vector<Finding> &findings) {
    Tally t;
    for (const auto &f : findings) {
        std::fprintf(to, "%s: %s: %s\n", f.error ? "error" : "warning", f.where.c_str(), f.what.c_str());
        (f.error ? t.errors : t.warnings) += 1;
    }
    return t;
}

}  // namespace podcastfeed

