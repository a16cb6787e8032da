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
#include <string_view>
#include <new>

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

StatusWalk::~StatusWalk() {
    if (folder_handle_ >= 0) close(folder_handle_);
}

bool StatusWalk::exists(const char *path) {
    struct stat st {};
    const char *slash = path ? std::strrchr(path, '/') : nullptr;
    // A name at the top of the tree, or in the working folder, gains nothing.
    if (!slash || slash == path || slash[1] == '\0') return file_status(path, nullptr) == 0;
    const std::string_view folder(path, static_cast<std::size_t>(slash - path));
    if (folder_handle_ < 0 || folder != folder_) {
        if (folder_handle_ >= 0) close(folder_handle_);
        folder_handle_ = -1;
        try {
            folder_.assign(folder);
        } catch (const std::bad_alloc &) {
            // Without room for the folder's name the whole path still answers.
            folder_.clear();
            return stat(path, &st) == 0;
        }
        // A handle for looking names up only: it needs no read permission.
        folder_handle_ = open(folder_.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    }
    // A folder that cannot be opened may still be reached some other way
    // the whole path knows: it decides then.
    if (folder_handle_ < 0) return stat(path, &st) == 0;
    return fstatat(folder_handle_, slash + 1, &st, 0) == 0;
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

// A regular file opened for reading; -1 with errno for anything else.
int open_regular(const char *path) {
    if (!path) {
        errno = EINVAL;
        return -1;
    }
    // Non-blocking, so that opening a FIFO without a writer returns at once.
    const int fd = open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return -1;
    struct stat st {};
    const bool stated = fstat(fd, &st) == 0;
    if (!stated || !S_ISREG(st.st_mode)) {
        errno = !stated ? errno : S_ISDIR(st.st_mode) ? EISDIR : EINVAL;
        return close_keeping_errno(fd);
    }
    // Reads of a regular file never wait, whatever O_NONBLOCK says, so the
    // flag stays: clearing it would cost two system calls per file opened.
    return fd;
}

}  // namespace

File open_for_read(const char *path) {
    const int fd = open_regular(path);
    if (fd < 0) return nullptr;
    File f(fdopen(fd, "rb"));
    if (!f) close_keeping_errno(fd);
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
