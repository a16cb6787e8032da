// Test support: a scratch folder removed with everything in it, and whole-file
// reads, writes and time stamps for building test inputs byte by byte.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace pf_test {

// A fresh folder under the system's temporary folder, removed recursively
// when the object goes out of scope.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir &) = delete;
    TempDir &operator=(const TempDir &) = delete;

    const std::string &path() const { return path_; }
    // The full path of name inside the folder (name may hold sub-folders).
    std::string file(std::string_view name) const;

private:
    std::string path_;
};

// Creates or replaces the file with exactly these bytes; fails the current
// test when it cannot.
void write_file(const std::string &path, std::string_view bytes);

// The whole file's bytes; fails the current test and gives "" when it cannot.
std::string read_file(const std::string &path);

// Sets the file's modification (and access) time in seconds since 1970 UTC.
void set_mtime(const std::string &path, std::int64_t seconds);

}  // namespace pf_test
