// Replacing a published file on Windows: the new bytes go into a fresh file
// beside the target, which is moved over it only once every byte is on disk,
// so readers see the old file or the new one, never a mix.
#include "core/platform.h"

#define NOMINMAX 1
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <string_view>

#include "core/text.h"

namespace pf {
namespace {

// WriteFile takes a 32-bit count; smaller steps keep it far from the limit.
constexpr std::size_t kWriteChunk = std::size_t{1} << 30;
// The temporary name carries a short cut of the target's name: the ANSI calls
// take whole paths of at most MAX_PATH bytes, and a target close to that limit
// must still get a temporary file beside it.
constexpr std::size_t kTempStemCapacity = 17;
constexpr int kTempAttempts = 100;
// Attributes a replaced file keeps; read-only is not among them, because a
// read-only target refuses the move, as it refuses any write.
constexpr DWORD kKeptAttributes =
    FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;

struct HandleCloser {
    void operator()(HANDLE h) const { CloseHandle(h); }
};
using Handle = std::unique_ptr<void, HandleCloser>;

Handle handle_of(HANDLE h) { return Handle(h == INVALID_HANDLE_VALUE ? nullptr : h); }

// Closes now, so that a failure to close (data not stored) is seen.
bool close_checked(Handle &h) { return CloseHandle(h.release()) != 0; }

bool write_all(HANDLE h, std::string_view bytes) {
    while (!bytes.empty()) {
        const DWORD chunk = static_cast<DWORD>(std::min(bytes.size(), kWriteChunk));
        DWORD written = 0;
        if (!WriteFile(h, bytes.data(), chunk, &written, nullptr)) return false;
        if (written == 0) {
            SetLastError(ERROR_WRITE_FAULT);
            return false;
        }
        bytes.remove_prefix(written);
    }
    return true;
}

std::size_t folder_length(std::string_view path) {
    const std::size_t sep = path.find_last_of("/\\");
    return sep == std::string_view::npos ? 0 : sep + 1;
}

// Creates a new file in the target's folder, named after the target with a
// leading dot so that folder listings on a web server pass over it.
// CREATE_NEW guarantees the file is ours alone.
Handle create_temp_beside(std::string_view target, std::string *temp) {
    static unsigned counter = 0;
    const std::size_t folder_len = folder_length(target);
    char stem[kTempStemCapacity];
    copy_cut(stem, target.substr(folder_len));
    for (int attempt = 0; attempt < kTempAttempts; ++attempt) {
        char name[MAX_PATH];
        const int n = std::snprintf(name, sizeof name, ".%s.%lu.%u.tmp", stem, GetCurrentProcessId(), ++counter);
        if (n < 0 || static_cast<std::size_t>(n) >= sizeof name) {
            SetLastError(ERROR_FILENAME_EXCED_RANGE);
            break;
        }
        temp->assign(target.substr(0, folder_len)).append(name);
        Handle h = handle_of(CreateFileA(temp->c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL,
                                         nullptr));
        if (h || GetLastError() != ERROR_FILE_EXISTS) return h;
    }
    return Handle();
}

// Removes the temporary file without losing the reason of the failure.
void discard(const std::string &temp) {
    const DWORD reason = GetLastError();
    DeleteFileA(temp.c_str());
    SetLastError(reason);
}

// old_attributes: those of the file being replaced, or 0 for a new file.
ReplaceResult replace_regular(const std::string &target, DWORD old_attributes, std::string_view bytes) {
    std::string temp;
    Handle h = create_temp_beside(target, &temp);
    if (!h) return ReplaceResult::open_failed;
    const DWORD kept = old_attributes & kKeptAttributes;
    const bool replaced = write_all(h.get(), bytes) && FlushFileBuffers(h.get()) && close_checked(h) &&
                          (kept == 0 || SetFileAttributesA(temp.c_str(), kept)) &&
                          MoveFileExA(temp.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
    if (replaced) return ReplaceResult::ok;
    h.reset();
    discard(temp);
    return ReplaceResult::write_failed;
}

// A device such as NUL cannot be moved over, and a link that points nowhere
// has no file to keep: those are opened and written as they are.
ReplaceResult write_in_place(const char *path, std::string_view bytes) {
    Handle h = handle_of(CreateFileA(path, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                                     FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!h) return ReplaceResult::open_failed;
    if (write_all(h.get(), bytes) && close_checked(h)) return ReplaceResult::ok;
    return ReplaceResult::write_failed;
}

// Moving over a symbolic link would replace the link itself; the file it
// points to is the one being published.
bool final_path_of(HANDLE h, std::string *out) {
    constexpr DWORD kFlags = FILE_NAME_NORMALIZED | VOLUME_NAME_DOS;
    std::string path(MAX_PATH + 1, '\0');
    DWORD n = GetFinalPathNameByHandleA(h, path.data(), static_cast<DWORD>(path.size()), kFlags);
    // Too small a buffer gives the size needed, terminator included.
    if (n >= path.size()) {
        path.resize(n);
        n = GetFinalPathNameByHandleA(h, path.data(), static_cast<DWORD>(path.size()), kFlags);
    }
    if (n == 0) return false;
    if (n >= path.size()) {
        SetLastError(ERROR_FILENAME_EXCED_RANGE);
        return false;
    }
    path.resize(n);
    *out = std::move(path);
    return true;
}

}  // namespace

ReplaceResult replace_file(const char *path, std::string_view bytes) {
    // Opening with no access right reads what the path names without
    // disturbing a reader or writer that holds it open.
    Handle existing = handle_of(CreateFileA(path, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                            OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (!existing) {
        const DWORD reason = GetLastError();
        if (reason != ERROR_FILE_NOT_FOUND) return ReplaceResult::open_failed;
        if (GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES) return write_in_place(path, bytes);
        return replace_regular(path, 0, bytes);
    }
    if (GetFileType(existing.get()) != FILE_TYPE_DISK) {
        existing.reset();
        return write_in_place(path, bytes);
    }
    BY_HANDLE_FILE_INFORMATION info;
    if (!GetFileInformationByHandle(existing.get(), &info)) return ReplaceResult::open_failed;
    if (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        SetLastError(ERROR_ACCESS_DENIED);
        return ReplaceResult::open_failed;
    }
    std::string target = path;
    const DWORD link_attributes = GetFileAttributesA(path);
    if (link_attributes != INVALID_FILE_ATTRIBUTES && (link_attributes & FILE_ATTRIBUTE_REPARSE_POINT) &&
        !final_path_of(existing.get(), &target))
        return ReplaceResult::open_failed;
    existing.reset();
    return replace_regular(target, info.dwFileAttributes, bytes);
}

}  // namespace pf
