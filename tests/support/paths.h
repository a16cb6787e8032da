// Path spellings for tests that run on both systems: Windows hosts hand the
// library backslashed, doubled and mixed separators, which a POSIX system
// would read as parts of one name. Every test of paths draws on the one table
// below, so a spelling added here is tried by all of them.
#pragma once

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

namespace pf_test {

inline constexpr bool kWindows = std::filesystem::path::preferred_separator == '\\';

inline std::string backslashed(std::string path) {
    std::replace(path.begin(), path.end(), '/', '\\');
    return path;
}

namespace spelling_detail {

struct Spelling {
    std::string path;
    bool windows_only;  // a POSIX system reads the backslash as part of a name
};

inline std::vector<std::string> on_this_system(const std::vector<Spelling> &spellings) {
    std::vector<std::string> paths;
    for (const Spelling &s : spellings)
        if (kWindows || !s.windows_only) paths.push_back(s.path);
    return paths;
}

}  // namespace spelling_detail

// Ways of writing folder itself, trailing separators of either kind included;
// on this system each names the same folder.
inline std::vector<std::string> spellings_of_folder(const std::string &folder) {
    const std::string back = backslashed(folder);
    return spelling_detail::on_this_system({
        {folder, false},
        {folder + "/", false},
        {folder + "//", false},
        {back, true},
        {back + "\\", true},
        {back + "\\\\", true},
        {back + "\\/\\", true},
        {back + "/", true},
        {folder + "\\", true},
    });
}

// Ways of writing the entry name of folder; on this system each names the
// same file.
inline std::vector<std::string> spellings_of_file(const std::string &folder, const std::string &name) {
    const std::string back = backslashed(folder);
    return spelling_detail::on_this_system({
        {folder + "/" + name, false},
        {folder + "//" + name, false},
        {back + "\\" + name, true},
        {back + "/" + name, true},
        {folder + "\\" + name, true},
    });
}

// The entry name of folder followed by a separator, which asks for a folder:
// a file of that name does not answer to these.
inline std::vector<std::string> spellings_as_folder(const std::string &folder, const std::string &name) {
    return spelling_detail::on_this_system({
        {folder + "/" + name + "/", false},
        {backslashed(folder) + "\\" + name + "\\", true},
    });
}

}  // namespace pf_test
