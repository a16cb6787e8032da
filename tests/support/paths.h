// Path spellings for tests that run on both systems: Windows hosts hand the
// library backslashed paths, which a POSIX system would read as one name.
#pragma once

#include <algorithm>
#include <filesystem>
#include <string>

namespace pf_test {

inline constexpr bool kWindows = std::filesystem::path::preferred_separator == '\\';

inline std::string backslashed(std::string path) {
    std::replace(path.begin(), path.end(), '/', '\\');
    return path;
}

}  // namespace pf_test
