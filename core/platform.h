// The operating system, behind one small interface: files, folders, time and
// error numbers. platform_posix.cpp and platform_win32.cpp implement it with
// the same observable results (file_read.cpp the parts built on their
// streams alone); nothing else in the library includes an OS header.
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <string_view>
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

// Answers, for one path after another, whether file_status would succeed on
// it at this moment. The folder of the last path stays open, so that for
// files of one folder the system looks up the name alone, not the whole path
// again. Closes what it holds when it goes.
class StatusWalk {
public:
    StatusWalk() = default;
    StatusWalk(const StatusWalk &) = delete;
    StatusWalk &operator=(const StatusWalk &) = delete;
    ~StatusWalk();

    bool exists(const char *path);

private:
    std::string folder_;  // the folder of folder_handle_, as the paths spell it
    int folder_handle_ = -1;
};

// The errno-style number of the latest failed file call, for strerror.
int os_errno();

// The system error number reported in "(win err %lu)" messages: GetLastError
// on Windows, errno elsewhere.
unsigned long last_os_error();

// The system error number of a path too long for the system's calls, for a
// path the library refuses to form before the system sees it.
unsigned long path_too_long_error();

struct FileCloser {
    void operator()(std::FILE *f) const { std::fclose(f); }
};
// A stream that closes itself on every return path.
using File = std::unique_ptr<std::FILE, FileCloser>;

// Opens a regular file for binary reading. A folder, a FIFO or a device
// fails (empty File) without blocking, as it does on Windows.
File open_for_read(const char *path);

int seek64(std::FILE *f, std::int64_t offset, int whence);
std::int64_t tell64(std::FILE *f);

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

// The length of an open stream in 64 bits, so that a file of 4 GiB or more
// is never mistaken for a small one; the stream is left at its start. -1 when
// it cannot be measured.
std::int64_t stream_length(std::FILE *f);

// Reads a whole regular file of at most max_bytes into out. 0 on success;
// -1 when it cannot be opened, -2 when it is larger than max_bytes, -3 when
// a read fails. Throws std::bad_alloc when memory runs out.
int read_small_file(const char *path, std::int64_t max_bytes, std::string *out);

}  // namespace pf
