// The floor of the folder-to-feed job: the system calls no implementation of
// it can avoid, and nothing else. One listing of the folder; per media file
// one status (size and date), one open and one read of its first 64 KiB (what
// a probe of a short file needs at least) and one open attempt of its
// sidecar; then one feed file written in one go, a document of the size and
// shape the library writes, formatted with one snprintf per item. The suite
// (bench/suite.py) runs it as a process beside the library and the peers, so
// that its time, its system time and its memory are the ratios' denominators.
// It uses nothing of the library.
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <string>
#include <string_view>
#include <vector>

namespace {

constexpr std::size_t kProbeBytes = 64 * 1024;
constexpr std::size_t kSidecarBytes = 64 * 1024;
constexpr std::string_view kOrigin = "https://media.example.com";

alignas(4096) char s_probe_buf[kProbeBytes];
char s_sidecar_buf[kSidecarBytes];

bool ends_with_nocase(std::string_view name, std::string_view ext) {
    if (name.size() < ext.size()) return false;
    name.remove_prefix(name.size() - ext.size());
    for (std::size_t i = 0; i < ext.size(); ++i) {
        const char c = name[i] >= 'A' && name[i] <= 'Z' ? static_cast<char>(name[i] - 'A' + 'a') : name[i];
        if (c != ext[i]) return false;
    }
    return true;
}

bool is_media(std::string_view name) {
    return ends_with_nocase(name, ".mp3") || ends_with_nocase(name, ".m4a") || ends_with_nocase(name, ".mp4");
}

const char *mime_of(std::string_view name) {
    if (ends_with_nocase(name, ".mp3")) return "audio/mpeg";
    return ends_with_nocase(name, ".m4a") ? "audio/x-m4a" : "video/mp4";
}

// The name without its extension; a leading dot is no extension.
std::string_view stem_of(std::string_view name) {
    const std::size_t dot = name.rfind('.');
    return dot == std::string_view::npos || dot == 0 ? name : name.substr(0, dot);
}

// Entries that are not folders, in byte order. The listing says which are
// folders, so it costs no status call.
void list_files(DIR *dir, std::vector<std::string> *names) {
    while (const dirent *e = readdir(dir)) {
        if (e->d_type == DT_DIR) continue;
        names->emplace_back(e->d_name);
    }
    std::sort(names->begin(), names->end());
}

// Reads what the probe of a short file reads at least: its first 64 KiB.
void read_head(int dir_fd, const char *name) {
    const int fd = openat(dir_fd, name, O_RDONLY | O_CLOEXEC);
    if (fd < 0) return;
    if (read(fd, s_probe_buf, sizeof s_probe_buf) < 0) std::perror(name);
    close(fd);
}

// One open attempt; a sidecar that is there is read whole.
void read_sidecar(int dir_fd, std::string_view name) {
    const std::string sidecar = std::string(stem_of(name)) + ".json";
    const int fd = openat(dir_fd, sidecar.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return;
    while (read(fd, s_sidecar_buf, sizeof s_sidecar_buf) > 0) {
    }
    close(fd);
}

struct Item {
    std::string_view name;
    long long size = 0;
    std::time_t mtime = 0;
};

// The name goes into the URL as it is: encoding it is the library's work, not
// the system's.
void append_item(std::string &doc, const std::string &base, const std::string &guid_prefix, const Item &item) {
    char date[64] = "";
    std::tm tm{};
    if (item.mtime && gmtime_r(&item.mtime, &tm)) std::strftime(date, sizeof date, "%a, %d %b %Y %H:%M:%S GMT", &tm);
    const std::string_view title = stem_of(item.name);
    const int name_len = static_cast<int>(item.name.size());
    char buf[8192];
    const int n = std::snprintf(buf, sizeof buf,
                                "    <item>\n      <title>%.*s</title>\n"
                                "      <enclosure url=\"%s/%.*s\" type=\"%s\" length=\"%lld\" />\n"
                                "      <guid isPermaLink=\"false\">%s/%.*s</guid>\n"
                                "      <pubDate>%s</pubDate>\n"
                                "      <itunes:duration>0:00</itunes:duration>\n"
                                "      <itunes:explicit>false</itunes:explicit>\n    </item>\n",
                                static_cast<int>(title.size()), title.data(), base.c_str(), name_len, item.name.data(),
                                mime_of(item.name), item.size, guid_prefix.c_str(), name_len, item.name.data(), date);
    if (n > 0) doc.append(buf, std::min(static_cast<std::size_t>(n), sizeof buf - 1));
}

std::string document(const std::string &folder, const std::vector<Item> &items) {
    std::string dist = folder;
    while (!dist.empty() && dist.front() == '/') dist.erase(0, 1);
    while (!dist.empty() && dist.back() == '/') dist.pop_back();
    const std::string base = std::string(kOrigin) + "/" + dist;
    std::string doc =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<rss version=\"2.0\" \n"
        "  xmlns:itunes=\"http://www.itunes.com/dtds/podcast-1.0.dtd\"\n"
        "  xmlns:atom=\"http://www.w3.org/2005/Atom\">\n  <channel>\n    <title>Floor</title>\n"
        "    <link>" + base + "</link>\n    <description>Personal audio playlist</description>\n"
        "    <atom:link href=\"" + base + "/feed.xml\" rel=\"self\" type=\"application/rss+xml\" />\n";
    doc.reserve(items.size() * 512);
    for (const Item &item : items) append_item(doc, base, dist, item);
    doc += "  </channel>\n</rss>";
    return doc;
}

bool write_feed(const char *path, const std::string &doc) {
    const int fd = open(path, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd < 0) return false;
    std::string_view rest = doc;
    while (!rest.empty()) {
        const ssize_t n = write(fd, rest.data(), rest.size());
        if (n <= 0) break;
        rest.remove_prefix(static_cast<std::size_t>(n));
    }
    return close(fd) == 0 && rest.empty();
}

}  // namespace

int main(int argc, char **argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: floor_posix_bench FOLDER FEED_FILE\n");
        return 2;
    }
    const std::string folder = argv[1];
    DIR *dir = opendir(folder.c_str());
    if (!dir) {
        std::perror(argv[1]);
        return 1;
    }
    std::vector<std::string> names;
    list_files(dir, &names);
    const int dir_fd = dirfd(dir);
    std::vector<Item> items;
    for (const std::string &name : names) {
        if (!is_media(name)) continue;
        Item item{name};
        struct stat st {};
        if (fstatat(dir_fd, name.c_str(), &st, 0) == 0) {
            item.size = static_cast<long long>(st.st_size);
            item.mtime = st.st_mtime;
        }
        read_head(dir_fd, name.c_str());
        read_sidecar(dir_fd, name);
        items.push_back(item);
    }
    closedir(dir);
    if (!write_feed(argv[2], document(folder, items))) {
        std::perror(argv[2]);
        return 1;
    }
    return 0;
}
