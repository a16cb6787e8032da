// Test support: scratch folders and whole-file helpers on std::filesystem.
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <utime.h>

namespace fs = std::filesystem;

namespace pf_test {

TempDir::TempDir() {
    std::random_device seed;
    std::mt19937_64 rng(seed());
    const fs::path base = fs::temp_directory_path();
    for (int attempt = 0; attempt < 100 && path_.empty(); ++attempt) {
        const fs::path candidate = base / ("pf_test_" + std::to_string(rng()));
        std::error_code ec;
        if (fs::create_directory(candidate, ec)) path_ = candidate.string();
    }
    if (path_.empty()) ADD_FAILURE() << "cannot create a temporary folder under " << base;
}

TempDir::~TempDir() {
    if (path_.empty()) return;
    std::error_code ec;
    // Tests may leave folders without permissions; open them up so removal works.
    for (auto it = fs::recursive_directory_iterator(path_, fs::directory_options::skip_permission_denied, ec);
         !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
        if (it->is_directory(ec) && !it->is_symlink(ec)) fs::permissions(it->path(), fs::perms::owner_all, ec);
    }
    fs::permissions(path_, fs::perms::owner_all, ec);
    fs::remove_all(path_, ec);
}

std::string TempDir::file(std::string_view name) const { return path_ + "/" + std::string(name); }

void write_file(const std::string &path, std::string_view bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    out.close();
    if (!out) ADD_FAILURE() << "cannot write " << path;
}

std::string read_file(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        ADD_FAILURE() << "cannot read " << path;
        return "";
    }
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void set_mtime(const std::string &path, std::int64_t seconds) {
    struct utimbuf times {};
    times.actime = static_cast<time_t>(seconds);
    times.modtime = static_cast<time_t>(seconds);
    if (utime(path.c_str(), &times) != 0) ADD_FAILURE() << "cannot set the time of " << path;
}

}  // namespace pf_test
