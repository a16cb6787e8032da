// The operating system for the Windows build: the C runtime for file status,
// opening files and time; the Win32 API for reads, folder listings and error
// numbers.
#include "core/platform.h"

#define NOMINMAX 1
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <sys/stat.h>
#include <sys/types.h>

#include <fcntl.h>
#include <io.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <memory>
#include <string>
#include <string_view>
#include <utility>

namespace pf {
namespace {

constexpr std::size_t kSearchPatternCapacity = 1200;

bool is_separator(char c) { return c == '/' || c == '\\'; }

// "\", "/" and "C:\" name a root, which the runtime reads only with its
// separator; every other folder it refuses to stat with one.
bool is_root(std::string_view kept) { return kept.empty() || (kept.size() == 2 && kept[1] == ':'); }

bool is_dir_mode(unsigned short mode) { return (mode & _S_IFMT) == _S_IFDIR; }
bool is_regular_mode(unsigned short mode) { return (mode & _S_IFMT) == _S_IFREG; }

// _stat64 fails on "D:\media\show\" although the folder exists, while POSIX
// stat accepts a trailing separator on a folder (and only on a folder), so
// the separators are taken off here and the folder rule applied by hand.
int stat_like_posix(std::string_view path, struct _stat64 *st) {
    std::string_view kept = path;
    while (!kept.empty() && is_separator(kept.back())) kept.remove_suffix(1);
    if (kept.size() == path.size()) return _stat64(std::string(path).c_str(), st);
    if (is_root(kept)) return _stat64(std::string(path.substr(0, kept.size() + 1)).c_str(), st);
    if (_stat64(std::string(kept).c_str(), st) != 0) return -1;
    if (is_dir_mode(st->st_mode)) return 0;
    errno = ENOTDIR;
    return -1;
}

struct FindCloser {
    void operator()(HANDLE h) const { FindClose(h); }
};
using FindHandle = std::unique_ptr<void, FindCloser>;

bool is_dot_entry(const char *name) { return std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0; }

// A listing that finds no entry at all is only possible at a drive root
// (other folders hold "." and ".."); there it is an empty folder, not a
// missing one.
bool is_empty_listing(const char *dir, DWORD error) {
    if (error != ERROR_FILE_NOT_FOUND) return false;
    FileStatus st;
    return file_status(dir, &st) == 0 && st.is_dir;
}

}  // namespace

int file_status(const char *path, FileStatus *out) {
    if (!path) {
        errno = EINVAL;
        return -1;
    }
    struct _stat64 st;
    if (stat_like_posix(path, &st) != 0) return -1;
    if (!out) return 0;
    out->is_dir = is_dir_mode(st.st_mode);
    out->is_regular = is_regular_mode(st.st_mode);
    out->size = out->is_dir ? 0 : st.st_size;
    out->mtime = st.st_mtime;
    return 0;
}

int os_errno() { return errno; }

unsigned long last_os_error() { return GetLastError(); }

unsigned long path_too_long_error() { return ERROR_FILENAME_EXCED_RANGE; }

ReadHandle::~ReadHandle() {
    if (fd_ >= 0) _close(fd_);
}

// ReadFile at an offset reads there without moving the file's position
// first, one call where seeking and reading would be two.
std::int64_t ReadHandle::read_at(std::int64_t offset, void *buf, std::size_t n) const {
    const auto handle = reinterpret_cast<HANDLE>(_get_osfhandle(fd_));
    OVERLAPPED at{};
    at.Offset = static_cast<DWORD>(static_cast<std::uint64_t>(offset));
    at.OffsetHigh = static_cast<DWORD>(static_cast<std::uint64_t>(offset) >> 32);
    DWORD got = 0;
    if (ReadFile(handle, buf, static_cast<DWORD>(std::min(n, kMaxRead)), &got, &at)) return got;
    return GetLastError() == ERROR_HANDLE_EOF ? 0 : -1;
}

ReadHandle open_for_read(const char *path) {
    if (!path) return ReadHandle();
    const int fd = _open(path, _O_RDONLY | _O_BINARY | _O_NOINHERIT);
    if (fd < 0) return ReadHandle();
    ReadHandle file(fd, FileStatus{});
    // A device name such as CON opens, and a read from it would wait for input.
    struct _stat64 st;
    if (_fstat64(fd, &st) != 0 || !is_regular_mode(st.st_mode)) {
        errno = EACCES;
        return ReadHandle();
    }
    // The status by path, as file_status takes it, so that a file's size and
    // date read the same whether it was opened or only looked at.
    if (file_status(path, &file.status_) != 0) return ReadHandle();
    return file;
}

Folder::Folder(std::string path) : path_(std::move(path)) {}

Folder::~Folder() = default;

int Folder::status(const char *path, FileStatus *out) const { return file_status(path, out); }

ReadHandle Folder::open(const char *path) const { return open_for_read(path); }

int compare_nocase(const char *a, const char *b) { return _stricmp(a, b); }

std::int64_t now_utc() { return _time64(nullptr); }

int list_dir(const char *dir, std::vector<DirEntry> *out) {
    out->clear();
    if (!dir) return -1;
    // A cut pattern would list some other folder, so a folder too long for it
    // cannot be listed at all.
    char pattern[kSearchPatternCapacity];
    const int n = std::snprintf(pattern, sizeof pattern, "%s\\*", dir);
    if (n < 0 || static_cast<std::size_t>(n) >= sizeof pattern) {
        SetLastError(ERROR_FILENAME_EXCED_RANGE);
        return -1;
    }
    WIN32_FIND_DATAA found;
    HANDLE first = FindFirstFileA(pattern, &found);
    if (first == INVALID_HANDLE_VALUE) return is_empty_listing(dir, GetLastError()) ? 0 : -1;
    FindHandle find(first);
    do {
        if (is_dot_entry(found.cFileName)) continue;
        out->push_back(DirEntry{found.cFileName, (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0});
    } while (FindNextFileA(find.get(), &found));
    return 0;
}

}  // namespace pf
