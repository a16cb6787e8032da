// Files the server sends, opened only inside the folder.
#include "served_file.h"

#include <climits>
#include <cstdlib>
#include <memory>
#include <utility>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace podcastfeed {

std::optional<std::string> resolved_inside(const std::string &folder, const std::string &path) {
    const std::unique_ptr<char, decltype(&std::free)> real(realpath(path.c_str(), nullptr), &std::free);
    if (!real) return std::nullopt;
    const std::string resolved = real.get();
    const std::string prefix = folder.ends_with('/') ? folder : folder + "/";
    if (!resolved.starts_with(prefix)) return std::nullopt;
    struct stat st {};
    if (stat(resolved.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return std::nullopt;
    return resolved;
}

OpenFile::OpenFile(OpenFile &&other) noexcept
    : fd_(std::exchange(other.fd_, -1)), size_(other.size_), modified_ns_(other.modified_ns_) {}

OpenFile &OpenFile::operator=(OpenFile &&other) noexcept {
    if (this != &other) {
        if (fd_ >= 0) close(fd_);
        fd_ = std::exchange(other.fd_, -1);
        size_ = other.size_;
        modified_ns_ = other.modified_ns_;
    }
    return *this;
}

OpenFile::~OpenFile() {
    if (fd_ >= 0) close(fd_);
}

int OpenFile::release() { return std::exchange(fd_, -1); }

OpenFile open_inside(const std::string &folder, const std::string &path) {
    OpenFile f;
    const auto resolved = resolved_inside(folder, path);
    if (!resolved) return f;
    // O_NOFOLLOW on the resolved path: a link swapped in after the check is refused.
    f.fd_ = open(resolved->c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
    if (f.fd_ < 0) return f;
    struct stat st {};
    if (fstat(f.fd_, &st) != 0 || !S_ISREG(st.st_mode)) return OpenFile();
    f.size_ = st.st_size;
    f.modified_ns_ = static_cast<std::int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
    return f;
}

}  // namespace podcastfeed
