// Whether the folder changed since it was last scanned, judged from its
// listing with sizes and times: cheap enough to ask before every feed request.
#pragma once

#include <chrono>
#include <string>
#include <vector>

namespace podcastfeed {

class FolderWatch {
public:
    // extra_files: files outside the folder the feed also depends on.
    FolderWatch(std::string folder, std::vector<std::string> extra_files);

    // True when the listing differs from the one last seen. Looks at most once
    // a second; between looks the answer is false.
    bool changed();

private:
    std::string listing() const;

    std::string folder_;
    std::vector<std::string> extra_files_;
    std::string seen_;
    std::chrono::steady_clock::time_point looked_;
};

}  // namespace podcastfeed
