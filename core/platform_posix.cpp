// The operating-system interface on POSIX systems.
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <ctime>

#include "core/platform.h"

namespace pf {

namespace {

struct DirCloser {
    void operator()(DIR *d) const { closedir(d); }
};

void fill_status(const struct stat &st, FileStatus *out) {
    out->is_dir = S_ISDIR(st.st_mode);
    out->is_regular = S_ISREG(st.st_mode);
    // A folder has no size of its own on Windows; report it the same here.
    out->size = out->is_dir ? 0 : static_cast<std::int64_t>(st.st_size);
    out->mtime = static_cast<std::int64_t>(st.st_mtime);
}

}  // namespace

int file_status(const char *path, FileStatus *out) {
    struct stat st {};
    if (!path || stat(path, &st) != 0) {
        if (!path) errno = EINVAL;
        return -1;
    }
    fill_status(st, out);
    return 0;
}

int os_errno() { return errno; }

unsigned long last_os_error() { return static_cast<unsigned long>(errno); }

File open_for_read(const char *path) {
    if (!path) {
        errno = EINVAL;
        return nullptr;
    }
    // Non-blocking, so that opening a FIFO without a writer returns at once.
    const int fd = open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return nullptr;
    struct stat st {};
    const bool stated = fstat(fd, &st) == 0;
    if (!stated || !S_ISREG(st.st_mode)) {
        const int err = !stated ? errno : S_ISDIR(st.st_mode) ? EISDIR : EINVAL;
        close(fd);
        errno = err;
        return nullptr;
    }
    const int flags = fcntl(fd, F_GETFL);
    if (flags < 0 || fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0) {
        const int err = errno;
        close(fd);
        errno = err;
        return nullptr;
    }
    File f(fdopen(fd, "rb"));
    if (!f) {
        const int err = errno;
        close(fd);
        errno = err;
    }
    return f;
}

int seek64(std::FILE *f, std::int64_t offset, int whence) { return fseeko(f, static_cast<off_t>(offset), whence); }

std::int64_t tell64(std::FILE *f) { return static_cast<std::int64_t>(ftello(f)); }

int compare_nocase(const char *a, const char *b) {
    const auto lower = [](char c) {
        const unsigned char u = static_cast<unsigned char>(c);
        return u >= 'A' && u <= 'Z' ? u + ('a' - 'A') : u;
    };
    for (;; ++a, ++b) {
        const int d = lower(*a) - lower(*b);
        if (d != 0 || *a == '\0') return d;
    }
}

std::int64_t now_utc() { return static_cast<std::int64_t>(std::time(nullptr)); }

int list_dir(const char *dir, std::vector<DirEntry> *out) {
    out->clear();
    if (!dir) {
        errno = EINVAL;
        return -1;
    }
    std::unique_ptr<DIR, DirCloser> d(opendir(dir));
    if (!d) return -1;
    const std::string prefix = std::string(dir) + "/";
    while (const dirent *e = readdir(d.get())) {
        const std::string_view name = e->d_name;
        if (name == "." || name == "..") continue;
        // stat follows links, so a link to a folder counts as a folder.
        struct stat st {};
        const bool is_dir = stat((prefix + e->d_name).c_str(), &st) == 0 && S_ISDIR(st.st_mode);
        out->push_back({std::string(name), is_dir});
    }
    return 0;
}

int read_small_file(const char *path, std::int64_t max_bytes, std::string *out) {
    File f = open_for_read(path);
    if (!f) return -1;
    struct stat st {};
    if (fstat(fileno(f.get()), &st) != 0) return -1;
    if (static_cast<std::int64_t>(st.st_size) > max_bytes) return -2;
    std::string text;
    text.reserve(static_cast<std::size_t>(st.st_size));
    char chunk[8192];
    std::size_t got;
    while ((got = std::fread(chunk, 1, sizeof chunk, f.get())) > 0) {
        // The file may have grown since it was measured.
        if (static_cast<std::int64_t>(text.size() + got) > max_bytes) return -2;
        text.append(chunk, got);
    }
    if (std::ferror(f.get())) return -1;
    *out = std::move(text);
    return 0;
}

}  // namespace pf
