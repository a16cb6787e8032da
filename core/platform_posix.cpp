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

// A regular file opened for reading; -1 with errno for anything else. Its
// size at opening goes to *size when size is given.
int open_regular(const char *path, off64_t *size = nullptr) {
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
    if (size != nullptr) *size = st.st_size;
    return fd;
}

// The position lives in the stream, not in the kernel, so a seek is only
// arithmetic where a plain stream pays a system call; and the last block read
// is kept, because the stream drops its own buffer at every seek while the
// next header is usually a few bytes on. Blocks are aligned to their size.
struct PositionedFile {
    static constexpr std::size_t kBlock = 8192;
    int fd;
    off64_t size;  // at opening: the end a seek from the end counts from
    off64_t pos = 0;
    off64_t block_start = 0;
    std::size_t block_len = 0;
    char block[kBlock];
};

ssize_t positioned_read(void *cookie, char *buf, size_t n) {
    auto *f = static_cast<PositionedFile *>(cookie);
    const bool in_block = f->pos >= f->block_start && f->pos < f->block_start + static_cast<off64_t>(f->block_len);
    if (!in_block) {
        const off64_t start = f->pos - f->pos % static_cast<off64_t>(PositionedFile::kBlock);
        const ssize_t got = pread(f->fd, f->block, sizeof f->block, start);
        if (got < 0) return -1;
        f->block_start = start;
        f->block_len = static_cast<std::size_t>(got);
        if (f->pos >= start + got) return 0;
    }
    const auto offset = static_cast<std::size_t>(f->pos - f->block_start);
    const std::size_t take = std::min(n, f->block_len - offset);
    std::copy(f->block + offset, f->block + offset + take, buf);
    f->pos += static_cast<off64_t>(take);
    return static_cast<ssize_t>(take);
}

int positioned_seek(void *cookie, off64_t *offset, int whence) {
    auto *f = static_cast<PositionedFile *>(cookie);
    const off64_t base = whence == SEEK_CUR ? f->pos : whence == SEEK_END ? f->size : 0;
    if ((*offset > 0 && base > INT64_MAX - *offset) || base + *offset < 0) {
        errno = EINVAL;
        return -1;
    }
    f->pos = base + *offset;
    *offset = f->pos;
    return 0;
}

int positioned_close(void *cookie) {
    auto *f = static_cast<PositionedFile *>(cookie);
    const int result = close(f->fd);
    delete f;
    return result;
}

}  // namespace

File open_for_read(const char *path) {
    const int fd = open_regular(path);
    if (fd < 0) return nullptr;
    File f(fdopen(fd, "rb"));
    if (!f) close_keeping_errno(fd);
    return f;
}

File open_for_random_read(const char *path) {
    off64_t size = 0;
    const int fd = open_regular(path, &size);
    if (fd < 0) return nullptr;
    auto *cookie = new (std::nothrow) PositionedFile;
    if (cookie == nullptr) {
        close(fd);
        errno = ENOMEM;
        return nullptr;
    }
    cookie->fd = fd;
    cookie->size = size;
    File f(fopencookie(cookie, "rb", {positioned_read, nullptr, positioned_seek, positioned_close}));
    if (!f) {
        delete cookie;
        close_keeping_errno(fd);
        return f;
    }
    // Unbuffered: the block is the one buffer, so a read copies only the
    // bytes asked for, and a seek never makes the stream read ahead.
    setvbuf(f.get(), nullptr, _IONBF, 0);
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
