// Opening a file the server sends: only a regular file that lies inside the
// folder once every link is resolved, so a link placed or swapped in the
// folder cannot hand out a file from elsewhere.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace podcastfeed {

// The file's path with every link resolved, when it lies inside folder (a
// canonical path) and is a regular file; nullopt otherwise.
std::optional<std::string> resolved_inside(const std::string &folder, const std::string &path);

// An open file, closed with the object unless released.
class OpenFile {
public:
    OpenFile() = default;
    OpenFile(const OpenFile &) = delete;
    OpenFile &operator=(const OpenFile &) = delete;
    OpenFile(OpenFile &&other) noexcept;
    OpenFile &operator=(OpenFile &&other) noexcept;
    ~OpenFile();

    explicit operator bool() const { return fd_ >= 0; }
    std::int64_t size() const { return size_; }
    std::int64_t modified_ns() const { return modified_ns_; }  // since 1970
    // Hands the descriptor to whoever closes it from now on.
    int release();

    friend OpenFile open_inside(const std::string &folder, const std::string &path);

private:
    int fd_ = -1;
    std::int64_t size_ = 0, modified_ns_ = 0;
};

// Opens path for reading when it passes resolved_inside, and is still the
// file that check found once open; an empty OpenFile otherwise.
OpenFile open_inside(const std::string &folder, const std::string &path);

}  // namespace podcastfeed
