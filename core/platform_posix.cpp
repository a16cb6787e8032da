// The operating-system interface on POSIX systems.
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <ctime>
#include <memory>
#include <string>
#include <string_view>
#include <utility>

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
    if (out) fill_status(st, out);
    return 0;
}

int os_errno() { return errno; }

unsigned long last_os_error() { return static_cast<unsigned long>(errno); }

unsigned long path_too_long_error() { return ENAMETOOLONG; }

namespace {

int close_keeping_errno(int fd) {
    const int err = errno;
    close(fd);
    errno = err;
    return -1;
}

// A regular file opened for reading, name looked up from the folder dir
// (AT_FDCWD for the working folder), with its status in *status; -1 with
// errno for anything else.
int open_regular(int dir, const char *name, FileStatus *status) {
    if (!name) {
        errno = EINVAL;
        return -1;
    }
    // Non-blocking, so that opening a FIFO without a writer returns at once.
    const int fd = openat(dir, name, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return -1;
    struct stat st {};
    const bool stated = fstat(fd, &st) == 0;
    if (!stated || !S_ISREG(st.st_mode)) {
        errno = !stated ? errno : S_ISDIR(st.st_mode) ? EISDIR : EINVAL;
        return close_keeping_errno(fd);
    }
    // Reads of a regular file never wait, whatever O_NONBLOCK says, so the
    // flag stays: clearing it would cost two system calls per file opened.
    fill_status(st, status);
    return fd;
}

}  // namespace

ReadHandle::~ReadHandle() {
    if (fd_ >= 0) close(fd_);
}

std::int64_t ReadHandle::read_at(std::int64_t offset, void *buf, std::size_t n) const {
    for (;;) {
        const ssize_t got = pread(fd_, buf, std::min(n, kMaxRead), static_cast<off_t>(offset));
        if (got >= 0 || errno != EINTR) return static_cast<std::int64_t>(got);
    }
}

ReadHandle open_for_read(const char *path) {
    FileStatus st;
    const int fd = open_regular(AT_FDCWD, path, &st);
    return fd < 0 ? ReadHandle() : ReadHandle(fd, st);
}

// A handle for looking names up only: it needs no read permission.
Folder::Folder(std::string path)
    : path_(std::move(path)), handle_(::open(path_.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC)) {}

Folder::~Folder() {
    if (handle_ >= 0) close(handle_);
}

int Folder::status(const char *path, FileStatus *out) const {
    const char *name = handle_ >= 0 ? name_in(path) : nullptr;
    if (!name) return file_status(path, out);
    struct stat st {};
    if (fstatat(handle_, name, &st, 0) != 0) return -1;
    if (out) fill_status(st, out);
    return 0;
}

ReadHandle Folder::open(const char *path) const {
    const char *name = handle_ >= 0 ? name_in(path) : nullptr;
    if (!name) return open_for_read(path);
    FileStatus st;
    const int fd = open_regular(handle_, name, &st);
    return fd < 0 ? ReadHandle() : ReadHandle(fd, st);
}

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

namespace {

// The entry's type as the listing gives it spares a status call per file; a
// link, or a file system that does not say, is looked up, and stat follows
// links, so a link to a folder counts as a folder.
bool is_folder(const std::string &prefix, const dirent &e) {
    if (e.d_type == DT_DIR) return true;
    if (e.d_type != DT_LNK && e.d_type != DT_UNKNOWN) return false;
    struct stat st {};
    return stat((prefix + e.d_name).c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

}  // namespace

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
        out->push_back({std::string(name), is_folder(prefix, *e)});
    }
    return 0;
}

}  // namespace pf
