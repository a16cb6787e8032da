// The operating system, behind one small interface: files, folders, time and
// error numbers. platform_posix.cpp and platform_win32.cpp implement it with
// the same observable results (file_read.cpp the parts built on their
// calls alone); nothing else in the library includes an OS header.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace pf {

struct FileStatus {
    std::int64_t size = 0;   // bytes; 0 for a folder
    std::int64_t mtime = 0;  // seconds since 1970-01-01 UTC
    bool is_dir = false;
    bool is_regular = false;
};

// 0 and *out filled (out may be NULL), or -1 with the error in os_errno()
// (for strerror).
int file_status(const char *path, FileStatus *out);

// The errno-style number of the latest failed file call, for strerror.
int os_errno();

// The system error number reported in "(win err %lu)" messages: GetLastError
// on Windows, errno elsewhere.
unsigned long last_os_error();

// The system error number of a path too long for the system's calls, for a
// path the library refuses to form before the system sees it.
unsigned long path_too_long_error();

// A regular file open for reading, with the status it had when it opened.
// Reads say where they start, so no call is spent on moving a position.
// Closes itself when it goes.
class ReadHandle {
public:
    // The most bytes one read_at call asks the system for, so no call
    // depends on it taking a count beyond 32 bits.
    static constexpr std::size_t kMaxRead = std::size_t{1} << 30;

    ReadHandle() = default;
    ReadHandle(ReadHandle &&other) noexcept : fd_(other.fd_), status_(other.status_) { other.fd_ = -1; }
    ReadHandle &operator=(ReadHandle &&other) noexcept {
        std::swap(fd_, other.fd_);
        std::swap(status_, other.status_);
        return *this;
    }
    ReadHandle(const ReadHandle &) = delete;
    ReadHandle &operator=(const ReadHandle &) = delete;
    ~ReadHandle();

    explicit operator bool() const { return fd_ >= 0; }
    const FileStatus &status() const { return status_; }

    // Up to n bytes (at most kMaxRead) from offset on into buf, in one system
    // call: the count read, fewer than asked at the end of the file, 0 past
    // it, -1 when the read fails.
    std::int64_t read_at(std::int64_t offset, void *buf, std::size_t n) const;

private:
    // Only the platform layer's openers make an open one.
    friend ReadHandle open_for_read(const char *path);
    friend class Folder;
    ReadHandle(int fd, const FileStatus &status) : fd_(fd), status_(status) {}

    int fd_ = -1;
    FileStatus status_;
};

// Opens a regular file for binary reading. A folder, a FIFO or a device
// fails (empty handle) without blocking, as it does on Windows.
ReadHandle open_for_read(const char *path);

// The files of one folder, looked up by their names alone: the system finds
// the folder once, when it opens here, not again for every file. A folder
// that cannot be opened so may still be reached by path, and is then; so is
// every path on Windows, which looks paths up whole in any case. Closes what
// it holds when it goes.
class Folder {
public:
    // path as the caller spells the folder, without a trailing separator.
    explicit Folder(std::string path);
    Folder(const Folder &) = delete;
    Folder &operator=(const Folder &) = delete;
    ~Folder();

    const std::string &path() const { return path_; }

    // path(), "/", name: the path of the folder's entry name. Throws
    // std::bad_alloc when memory runs out.
    std::string path_of(std::string_view name) const;

    // As file_status(path) and open_for_read(path). A path that path_of
    // spelled is looked up by the name alone.
    int status(const char *path, FileStatus *out) const;
    ReadHandle open(const char *path) const;

private:
    // The part of path after this folder's "path/", or nullptr when path does
    // not begin so or nothing follows.
    const char *name_in(const char *path) const;

    std::string path_;
    int handle_ = -1;  // -1 where paths are looked up whole
};

// Answers, for one path after another, whether file_status would succeed on
// it at this moment. The folder of the last path stays open (a Folder), so
// that for files of one folder the system looks up the name alone, not the
// whole path again.
class StatusWalk {
public:
    bool exists(const char *path);

private:
    std::optional<Folder> folder_;  // of the latest path
};

// Case-insensitive ASCII comparison (as _stricmp).
int compare_nocase(const char *a, const char *b);

// Current time in seconds since 1970-01-01 UTC.
std::int64_t now_utc();

struct DirEntry {
    std::string name;
    bool is_dir = false;  // links are followed
};
// Every entry of dir but "." and "..". -1 when the listing cannot start
// (missing, not a folder, no access, or a path too long for the system call).
int list_dir(const char *dir, std::vector<DirEntry> *out);

enum class ReplaceResult { ok, open_failed, write_failed };

// Replaces the file at path with bytes, atomically: a temporary file beside
// it, every write, flush and close checked, then renamed over the target (a
// link's target is replaced; permission bits kept, and owner and group where
// the process may give them). An existing target that is not a regular file is
// written in place. On failure nothing of the old file changes, no temporary
// file is left, and last_os_error() holds the reason; where the system has
// unnamed files, not even a killed process leaves one.
ReplaceResult replace_file(const char *path, std::string_view bytes);

// Reads a whole regular file of at most max_bytes into out. 0 on success;
// -1 when it cannot be opened, -2 when it is larger than max_bytes, -3 when
// a read fails. Throws std::bad_alloc when memory runs out.
int read_small_file(const char *path, std::int64_t max_bytes, std::string *out);
// The same for a file already opened (-1 when it did not open).
int read_small_file(const ReadHandle &file, std::int64_t max_bytes, std::string *out);

}  // namespace pf
