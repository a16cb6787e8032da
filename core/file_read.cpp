// What the platform layer builds on its own calls alone, written once for
// every system: paths within a folder, the status walk, and whole reads of
// small files.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <new>
#include <string>
#include <string_view>

#include "core/platform.h"

namespace pf {

std::string Folder::path_of(std::string_view name) const {
    std::string path(path_);
    path += '/';
    path += name;
    return path;
}

const char *Folder::name_in(const char *path) const {
    if (!path || std::strncmp(path, path_.c_str(), path_.size()) != 0 || path[path_.size()] != '/') return nullptr;
    // "folder/" names the folder itself, which no name within it does.
    const char *name = path + path_.size() + 1;
    return *name ? name : nullptr;
}

bool StatusWalk::exists(const char *path) {
    const char *slash = path ? std::strrchr(path, '/') : nullptr;
    // A name at the top of the tree, or in the working folder, gains nothing.
    if (!slash || slash == path || slash[1] == '\0') return file_status(path, nullptr) == 0;
    const std::string_view folder(path, static_cast<std::size_t>(slash - path));
    if (!folder_ || folder != folder_->path()) {
        folder_.reset();
        try {
            folder_.emplace(std::string(folder));
        } catch (const std::bad_alloc &) {
            // Without room for the folder's name the whole path still answers.
            return file_status(path, nullptr) == 0;
        }
    }
    return folder_->status(path, nullptr) == 0;
}

int read_small_file(const char *path, std::int64_t max_bytes, std::string *out) {
    return read_small_file(open_for_read(path), max_bytes, out);
}

int read_small_file(const ReadHandle &file, std::int64_t max_bytes, std::string *out) {
    if (!file) return -1;
    const std::int64_t length = file.status().size;
    if (length > max_bytes) return -2;
    // One byte more than the status promised is asked for: a file that grew
    // since it was measured shows it in the same read, and the limit then
    // holds for what is read, not only for what was measured.
    std::string text(static_cast<std::size_t>(length) + 1, '\0');
    std::size_t got = 0;
    for (;;) {
        const std::int64_t step = file.read_at(static_cast<std::int64_t>(got), text.data() + got, text.size() - got);
        if (step < 0) return -3;
        got += static_cast<std::size_t>(step);
        if (static_cast<std::int64_t>(got) > max_bytes) return -2;
        // A short read is the end of the file, once what was measured is in:
        // below that, the system may have given less than it had.
        if (step == 0 || (got < text.size() && static_cast<std::int64_t>(got) >= length)) break;
        if (got == text.size()) text.resize(text.size() + std::max<std::size_t>(text.size() / 2, 8192));
    }
    text.resize(got);
    *out = std::move(text);
    return 0;
}

}  // namespace pf
