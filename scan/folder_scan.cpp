// The folder scan: one folder of media files becomes the whole feed, with
// channel defaults and URL settings derived from the folder itself.
#include <algorithm>
#include <cstdint>
#include <new>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "channel/channel.h"
#include "core/error.h"
#include "core/feed_state.h"
#include "core/json.h"
#include "core/platform.h"
#include "core/text.h"
#include "episodes/episodes.h"
#include "probe/media_types.h"
#include "quorvane_podcastfeed.h"
#include "scan/scan.h"

namespace pf {

namespace {

// The folder as every media path begins, without trailing separators. A
// longer one is refused, not cut: cut, it would name another folder.
constexpr std::size_t kLocalFolderCapacity = 2048;

// Folders below this root are published under the same path on the server.
constexpr std::string_view kDistributionRoot = "/data/dist/";

bool is_ascii_letter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

// An empty text stands for an absent member.
struct ScanConfig {
    char playlist_name[kChannelTitleCapacity] = "";
    char base_url[2048] = "";
    char local_root[2048] = "";
};

// False when the text is not a JSON object; NULL and "" mean no configuration.
bool read_config(const char *config_json, ScanConfig *config) {
    if (!config_json || !*config_json) return true;
    JsonDoc doc;
    if (!json_parse(config_json, &doc) || !doc.IsObject()) return false;
    take_text_member(doc, "playlist_name", config->playlist_name);
    take_text_member(doc, "base_url", config->base_url);
    take_text_member(doc, "local_root", config->local_root);
    return true;
}

// The names of every entry but sub-folders, in byte order (strcmp order:
// "10.mp3" before "2.mp3", "B" before "a"). -1 when the folder cannot be listed.
int list_names(const char *dir, std::vector<std::string> *names) {
    std::vector<DirEntry> entries;
    if (list_dir(dir, &entries) != 0) return -1;
    for (DirEntry &e : entries)
        if (!e.is_dir) names->push_back(std::move(e.name));
    // std::string compares bytes as unsigned char, which is strcmp's order.
    std::sort(names->begin(), names->end());
    return 0;
}

std::string without_trailing_separators(std::string_view dir) {
    while (!dir.empty() && (dir.back() == '/' || dir.back() == '\\')) dir.remove_suffix(1);
    return std::string(dir);
}

// One video file is enough to make the whole feed a video feed.
bool is_video_feed(const std::vector<std::string> &names) {
    return std::any_of(names.begin(), names.end(), [](const std::string &n) { return is_video_name(n.c_str()); });
}

// The sidecar of every media file, indexed like names (other names get
// empty facts). Read once: the artwork choice and the episodes both need them.
std::vector<SidecarFacts> load_sidecars(const Folder &folder, const std::vector<std::string> &names) {
    std::vector<SidecarFacts> sidecars(names.size());
    for (std::size_t i = 0; i < names.size(); ++i) {
        if (!is_media_name(names[i].c_str())) continue;
        char image[kSidecarImageCapacity] = "";
        char author[kSidecarAuthorCapacity] = "";
        if (sidecar_load(folder, names[i], image, author) != 0) continue;
        sidecars[i] = SidecarFacts{true, image, author};
    }
    return sidecars;
}

// The thumbnail of the most recently modified media file that has one; among
// files of the same second the first in name order wins, and a file dated at
// or before 1970 never does.
std::string choose_artwork(const Folder &folder, const std::vector<std::string> &names,
                           const std::vector<SidecarFacts> &sidecars) {
    std::string artwork;
    std::int64_t newest = 0;
    for (std::size_t i = 0; i < names.size(); ++i) {
        if (!sidecars[i].loaded || sidecars[i].image.empty()) continue;
        FileStatus st;
        if (folder.status(folder.path_of(names[i]).c_str(), &st) != 0 || st.mtime <= newest) continue;
        artwork = sidecars[i].image;
        newest = st.mtime;
    }
    return artwork.empty() ? std::string(channel_fallback("artwork")) : artwork;
}

void set_channel_defaults(pf_channel_table &channel, const char *title, const std::string &artwork, bool video) {
    channel.count = 0;
    for (const pf_channel_key &k : PF_CHANNEL_KEYS) {
        const std::string_view key = k.key;
        const char *value = key == "title"     ? title
                            : key == "artwork" ? artwork.c_str()
                            : video && k.video ? k.video
                                               : k.fallback;
        // Every key is known and every value fits, so no result needs a look.
        if (value) channel_set(channel, k.key, value);
    }
}

int set_url_settings(pf_url_settings &urls, const ScanConfig &config, const std::string &folder) {
    std::string dist = distribution_path(folder);
    std::string base = config.base_url[0] ? std::string(config.base_url) : default_base_url(dist);
    const char *root = config.local_root[0] ? config.local_root : folder.c_str();
    if (set_grow(&urls.base, base.c_str()) != 0 || set_grow(&urls.local_root, root) != 0 ||
        set_grow(&urls.guid_prefix, dist.c_str()) != 0)
        return fail("feed_episode_scan: out of memory");
    return 0;
}

void fill_episodes(pf_episode_table &eps, const Folder &folder, const std::vector<std::string> &names,
                   const std::vector<SidecarFacts> &sidecars) {
    for (std::size_t i = 0; i < names.size(); ++i) {
        if (!is_media_name(names[i].c_str())) continue;
        if (eps.count >= kMaxEpisodes) return;
        pf_episode &ep = eps[eps.count++];
        ep = pf_episode{};
        ep_fill_from_file(folder, names[i].c_str(), sidecars[i], ep);
    }
}

int episode_scan(pf_feed_state &st, const char *dir, const char *config_json) {
    if (!dir || !*dir) return fail("feed_episode_scan: NULL dir");
    ScanConfig config;
    if (!read_config(config_json, &config))
        return fail("feed_episode_scan: config_json is not an object");
    std::string folder = without_trailing_separators(dir);
    std::vector<std::string> names;
    if (folder.size() >= kLocalFolderCapacity || list_names(dir, &names) != 0)
        return fail("feed_episode_scan: cannot open dir %s", dir);

    // From here on the previous feed is gone, also if a later step fails.
    st.episodes.count = 0;
    // Every file of the scan is looked up by its name in this one folder.
    const Folder files(folder);
    const std::vector<SidecarFacts> sidecars = load_sidecars(files, names);
    std::string artwork = choose_artwork(files, names, sidecars);
    char title[kChannelTitleCapacity];
    folder_title(folder.c_str(), config.playlist_name[0] ? config.playlist_name : nullptr, title);
    set_channel_defaults(st.channel, title, artwork, is_video_feed(names));
    if (set_url_settings(st.urls, config, folder) != 0) return -1;
    try {
        fill_episodes(st.episodes, files, names, sidecars);
    } catch (const std::bad_alloc &) {
        // No episodes rather than some: a part of the folder is no feed.
        st.episodes.count = 0;
        throw;
    }
    // Probe failures of single files are not the scan's failure.
    clear_err();
    return 0;
}

}  // namespace

std::string distribution_path(std::string_view folder) {
    if (folder.starts_with(kDistributionRoot)) folder.remove_prefix(kDistributionRoot.size());
    while (!folder.empty() && folder.front() == '/') folder.remove_prefix(1);
    while (!folder.empty() && folder.back() == '/') folder.remove_suffix(1);
    return std::string(folder);
}

// Each segment is encoded on its own so that "My Show/ep" stays two path
// segments and a blank never reaches an enclosure URL unencoded.
std::string default_base_url(std::string_view dist_path) {
    std::string url = PF_DEFAULT_ORIGIN "/";
    for (std::size_t start = 0;;) {
        std::size_t slash = dist_path.find('/', start);
        std::string segment(dist_path.substr(start, slash - start));
        HeapText quoted = pf_quote(segment.c_str());
        if (!quoted) throw std::bad_alloc();
        url += quoted.get();
        if (slash == std::string_view::npos) return url;
        url += '/';
        start = slash + 1;
    }
}

void folder_title(const char *local_folder, const char *playlist_name,
                  char (&title)[kChannelTitleCapacity]) {
    if (playlist_name) {
        copy_cut(title, playlist_name);
        return;
    }
    std::string_view last = base_name(local_folder);
    if (last == "all") {
        copy_cut(title, channel_fallback("title"));
        return;
    }
    if (last == "video") {
        copy_cut(title, "My Music Videos");
        return;
    }
    copy_cut(title, last);
    // Letters inside a word keep their case ("iPod" gives "IPod"); every
    // non-letter, UTF-8 bytes included, starts a new word.
    bool word_start = true;
    for (char *p = title; *p; ++p) {
        if (*p == '-' || *p == '_') *p = ' ';
        if (!is_ascii_letter(*p)) {
            word_start = true;
            continue;
        }
        if (word_start && *p >= 'a' && *p <= 'z') *p = static_cast<char>(*p - 'a' + 'A');
        word_start = false;
    }
}

}  // namespace pf

extern "C" PF_API int feed_episode_scan(const char *dir, const char *config_json) {
    try {
        return pf::episode_scan(pf::s_feed, dir, config_json);
    } catch (const std::bad_alloc &) {
        return pf::fail("feed_episode_scan: out of memory");
    }
}
