// Replacing a published file on POSIX systems: the new bytes go into a fresh
// file beside the target, which is renamed over it only once every byte is
// on disk, so readers see the old file or the new one, never a mix.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <string_view>

#include "core/platform.h"
#include "core/text.h"

namespace pf {

namespace {

// write() moves at most about 2 GiB at once on Linux; smaller steps keep
// every platform's limit out of the way.
constexpr std::size_t kWriteChunk = std::size_t{1} << 30;
// A long target name is cut in the temporary name, which needs room for its
// own marks within the system's name limit.
constexpr std::size_t kTempStemCapacity = 65;
constexpr int kTempAttempts = 100;

// An open descriptor, closed on every path that did not close it already.
class Descriptor {
public:
    explicit Descriptor(int fd) : fd_(fd) {}
    ~Descriptor() {
        if (fd_ >= 0) ::close(fd_);
    }
    Descriptor(const Descriptor &) = delete;
    Descriptor &operator=(const Descriptor &) = delete;

    int get() const { return fd_; }
    bool is_open() const { return fd_ >= 0; }

    // Closes now, so that a failure to close (data not stored) is seen.
    bool close() {
        const int fd = fd_;
        fd_ = -1;
        return ::close(fd) == 0;
    }

private:
    int fd_;
};

bool write_all(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t n = ::write(fd, bytes.data(), std::min(bytes.size(), kWriteChunk));
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return false;
        if (n == 0) {
            errno = EIO;
            return false;
        }
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

// Creates a new file in the target's folder, named after the target with a
// leading dot so that folder listings on a web server pass over it. O_EXCL
// guarantees the file is ours alone; mode 0666 lets the umask decide a new
// feed's bits, as creating the target directly would have.
int create_temp_beside(const char *target, char *temp, std::size_t temp_capacity) {
    static unsigned counter = 0;
    const std::string_view whole(target);
    const std::size_t slash = whole.rfind('/');
    const std::size_t folder_len = slash == std::string_view::npos ? 0 : slash + 1;
    char stem[kTempStemCapacity];
    copy_cut(stem, whole.substr(folder_len));
    for (int attempt = 0; attempt < kTempAttempts; ++attempt) {
        const int n = std::snprintf(temp, temp_capacity, "%.*s.%s.%ld.%u.tmp", static_cast<int>(folder_len),
                                    target, stem, static_cast<long>(::getpid()), ++counter);
        if (n < 0 || static_cast<std::size_t>(n) >= temp_capacity) {
            errno = ENAMETOOLONG;
            return -1;
        }
        const int fd = ::open(temp, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0 || errno != EEXIST) return fd;
    }
    return -1;
}

// old is the status of the file being replaced, or nullptr for a new file.
ReplaceResult replace_regular(const char *target, const struct stat *old, std::string_view bytes) {
    char temp[PATH_MAX + kTempStemCapacity + 64];
    Descriptor fd(create_temp_beside(target, temp, sizeof temp));
    if (!fd.is_open()) return ReplaceResult::open_failed;
    const bool replaced = (!old || ::fchmod(fd.get(), old->st_mode & 07777) == 0) &&
                          write_all(fd.get(), bytes) && ::fsync(fd.get()) == 0 && fd.close() &&
                          ::rename(temp, target) == 0;
    if (replaced) return ReplaceResult::ok;
    const int reason = errno;
    if (fd.is_open()) fd.close();
    ::unlink(temp);
    errno = reason;
    return ReplaceResult::write_failed;
}

// A FIFO or a device cannot be renamed over, and a link that points nowhere
// has no file to keep: those are opened and written as they are.
ReplaceResult write_in_place(const char *path, std::string_view bytes) {
    Descriptor fd(::open(path, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666));
    if (!fd.is_open()) return ReplaceResult::open_failed;
    if (write_all(fd.get(), bytes) && fd.close()) return ReplaceResult::ok;
    const int reason = errno;
    if (fd.is_open()) fd.close();
    errno = reason;
    return ReplaceResult::write_failed;
}

}  // namespace

ReplaceResult replace_file(const char *path, std::string_view bytes) {
    struct stat status;
    if (::stat(path, &status) != 0) {
        if (errno != ENOENT) return ReplaceResult::open_failed;
        struct stat link;
        if (::lstat(path, &link) == 0) return write_in_place(path, bytes);
        return replace_regular(path, nullptr, bytes);
    }
    if (!S_ISREG(status.st_mode)) return write_in_place(path, bytes);
    // Renaming over a link would replace the link itself; the file it
    // points to is the one being published.
    HeapText target(::realpath(path, nullptr));
    if (!target) return ReplaceResult::open_failed;
    // Renaming needs only the folder's permission; a file that may not be
    // written is refused, as opening it for writing would refuse it.
    if (::access(target.get(), W_OK) != 0) return ReplaceResult::open_failed;
    return replace_regular(target.get(), &status, bytes);
}

}  // namespace pf
