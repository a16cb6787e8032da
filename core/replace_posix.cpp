// Replacing a published file on POSIX systems: the new bytes go into a fresh
// file beside the target, which is renamed over it only once every byte is
// on disk, so readers see the old file or the new one, never a mix.
// Where it can, the fresh file stays without a name until then.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <string>
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

// The length of the folder part of path, its last '/' included.
std::size_t folder_length(std::string_view path) {
    const std::size_t slash = path.rfind('/');
    return slash == std::string_view::npos ? 0 : slash + 1;
}

// Offers one fresh name after another in the target's folder to claim,
// named after the target with a leading dot so that folder listings on a web
// server pass over it, until claim takes one. claim returns 0 or more when it
// took the name, or -1 with errno, EEXIST asking for another name.
template <typename Claim>
int claim_temp_name(const char *target, char *temp, std::size_t temp_capacity, Claim claim) {
    static unsigned counter = 0;
    const std::string_view whole(target);
    const std::size_t folder_len = folder_length(whole);
    char stem[kTempStemCapacity];
    copy_cut(stem, whole.substr(folder_len));
    for (int attempt = 0; attempt < kTempAttempts; ++attempt) {
        const int n = std::snprintf(temp, temp_capacity, "%.*s.%s.%ld.%u.tmp", static_cast<int>(folder_len),
                                    target, stem, static_cast<long>(::getpid()), ++counter);
        if (n < 0 || static_cast<std::size_t>(n) >= temp_capacity) {
            errno = ENAMETOOLONG;
            return -1;
        }
        const int taken = claim(temp);
        if (taken >= 0 || errno != EEXIST) return taken;
    }
    return -1;
}

// O_EXCL guarantees the file is ours alone; mode 0666 lets the umask decide a
// new feed's bits, as creating the target directly would have.
int create_named(const char *name) { return ::open(name, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666); }

// A file without a name in the target's folder: a process killed while
// writing it leaves nothing behind, where a named temporary file would stay
// for good. -1 where the system or the file system has no such files.
int create_unnamed_beside(const char *target) {
#ifdef O_TMPFILE
    const std::size_t folder_len = folder_length(target);
    const std::string folder = folder_len == 0 ? "." : std::string(target, folder_len);
    return ::open(folder.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666);
#else
    (void)target;
    errno = EOPNOTSUPP;
    return -1;
#endif
}

// Names the unnamed file: through /proc, or where /proc is not mounted,
// straight from the descriptor, which only a privileged process may do.
int link_unnamed(int fd, const char *name) {
    const std::string proc = "/proc/self/fd/" + std::to_string(fd);
    if (::linkat(AT_FDCWD, proc.c_str(), AT_FDCWD, name, AT_SYMLINK_FOLLOW) == 0) return 0;
    if (errno != ENOENT) return -1;
    return ::linkat(fd, "", AT_FDCWD, name, AT_EMPTY_PATH);
}

// The new file belongs to the old one's owner and group, as far as this
// process may give it away: root gives both, another user at most a group of
// its own; what is refused stays as created. False when nothing was given.
bool keep_owner(int fd, const struct stat &old) {
    return ::fchown(fd, old.st_uid, old.st_gid) == 0 || ::fchown(fd, static_cast<uid_t>(-1), old.st_gid) == 0;
}

// Owner first: giving a file away clears its set-user-ID and set-group-ID
// bits, which the old file's mode then puts back.
bool fill(int fd, const struct stat *old, std::string_view bytes) {
    if (old) keep_owner(fd, *old);
    return (!old || ::fchmod(fd, old->st_mode & 07777) == 0) && write_all(fd, bytes) && ::fsync(fd) == 0;
}

// Gives up the new file, keeping the reason of the failure in errno; temp is
// nullptr while the file has no name.
ReplaceResult discard(Descriptor &fd, const char *temp) {
    const int reason = errno;
    if (fd.is_open()) fd.close();
    if (temp) ::unlink(temp);
    errno = reason;
    return ReplaceResult::write_failed;
}

// The filled file, under its temporary name, takes the target's place.
ReplaceResult publish(Descriptor &fd, const char *temp, const char *target) {
    if (fd.close() && ::rename(temp, target) == 0) return ReplaceResult::ok;
    return discard(fd, temp);
}

// old is the status of the file being replaced, or nullptr for a new file.
// The new file gets a name only once every byte is on disk, and rename, not
// the link, replaces the target: only rename replaces atomically.
ReplaceResult replace_regular(const char *target, const struct stat *old, std::string_view bytes) {
    char temp[PATH_MAX + kTempStemCapacity + 64];
    Descriptor unnamed(create_unnamed_beside(target));
    if (unnamed.is_open()) {
        if (!fill(unnamed.get(), old, bytes)) return discard(unnamed, nullptr);
        const auto link_here = [fd = unnamed.get()](const char *name) { return link_unnamed(fd, name); };
        if (claim_temp_name(target, temp, sizeof temp, link_here) == 0) return publish(unnamed, temp, target);
        // It cannot be named here: the bytes go again, into a named file.
        unnamed.close();
    }
    Descriptor named(claim_temp_name(target, temp, sizeof temp, create_named));
    if (!named.is_open()) return ReplaceResult::open_failed;
    if (!fill(named.get(), old, bytes)) return discard(named, temp);
    return publish(named, temp, target);
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
