// The folder's listing, compared at most once a second.
#include "folder_watch.h"

#include <algorithm>
#include <filesystem>

namespace podcastfeed {
namespace {

namespace fs = std::filesystem;

constexpr std::chrono::seconds kLookInterval{1};

// One line per file: its name, type, size and time, links followed, since a
// link's target is what the scan reads.
std::string entry_line(const fs::path &path, const std::string &name) {
    std::error_code ec;
    const fs::file_status st = fs::status(path, ec);
    std::string line = name + '\0' + std::to_string(static_cast<int>(st.type()));
    if (fs::is_regular_file(st)) {
        line += '\0' + std::to_string(fs::file_size(path, ec));
        line += '\0' + std::to_string(fs::last_write_time(path, ec).time_since_epoch().count());
    }
    return line + '\n';
}

}  // namespace

FolderWatch::FolderWatch(std::string folder, std::vector<std::string> extra_files)
    : folder_(std::move(folder)), extra_files_(std::move(extra_files)), seen_(listing()),
      looked_(std::chrono::steady_clock::now()) {}

std::string FolderWatch::listing() const {
    std::vector<std::string> lines;
    std::error_code ec;
    for (fs::directory_iterator it(folder_, ec), end; !ec && it != end; it.increment(ec))
        lines.push_back(entry_line(it->path(), it->path().filename().string()));
    if (ec) lines.push_back("unreadable\n");
    std::sort(lines.begin(), lines.end());
    for (const auto &file : extra_files_) lines.push_back(entry_line(file, file));
    std::string all;
    for (const auto &line : lines) all += line;
    return all;
}

bool FolderWatch::changed() {
    const auto now = std::chrono::steady_clock::now();
    if (now - looked_ < kLookInterval) return false;
    looked_ = now;
    std::string current = listing();
    if (current == seen_) return false;
    seen_ = std::move(current);
    return true;
}

}  // namespace podcastfeed
