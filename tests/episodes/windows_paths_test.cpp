// Episodes added with files named as Windows hosts name them: the file's
// facts come from the file whatever the separators. Spellings that only name
// the file on Windows are skipped elsewhere.
#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "support/paths.h"
#include "support/media_builders.h"
#include "tests/episodes/episode_state.h"

namespace pf_test {
namespace {

class WindowsEpisodePaths : public EpisodeTest {};

TEST_F(WindowsEpisodePaths, FileFactsComeFromTheFileWhateverTheSeparators) {
    const std::string show = dir() + "/my.show";
    std::filesystem::create_directories(show);
    const std::string mp3 = mpeg_frames(MpegFrame{}, 400);
    write("my.show/Ep 1.mp3", mp3);
    struct Case {
        std::string file;
        bool exists;
    };
    std::vector<Case> cases;
    for (const std::string &file : spellings_of_file(show, "Ep 1.mp3")) cases.push_back({file, true});
    // A trailing separator names a folder, and there is none.
    for (const std::string &file : spellings_as_folder(show, "Ep 1.mp3")) cases.push_back({file, false});
    for (const auto &c : cases) {
        pf::reset_feed_state(pf::s_feed);
        ASSERT_EQ(add(c.file), 0) << c.file << ": " << feed_last_error();
        const pf::pf_episode &e = pf::s_feed.episodes[0];
        EXPECT_STREQ(e.file.c_str(), c.file.c_str());
        EXPECT_EQ(e.size, c.exists ? static_cast<std::int64_t>(mp3.size()) : 0) << c.file;
        EXPECT_EQ(e.duration_s, c.exists ? 10 : 0) << c.file;
        EXPECT_STREQ(e.mime.c_str(), c.exists ? "audio/mpeg" : "") << c.file;
    }
}

}  // namespace
}  // namespace pf_test
