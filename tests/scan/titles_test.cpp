// Episode titles cleaned from file names, and channel titles from folders.
#include <gtest/gtest.h>

#include <string>

#include "scan/scan.h"

namespace {

TEST(CleanTitle, RemovesKnownTagsAndOneTrailingBracketTag) {
    const struct {
        const char *name, *title;
    } cases[] = {
        {"Artist - Song (Official Music Video) [a1B2c3-D4e5].mp4", "Artist - Song"},
        {"Song (LIVE).mp3", "Song"},
        {"Song (live).mp3", "Song (live)"},
        {"Song (Audio)(Audio).m4a", "Song"},
        {"Piano [PIANO COVER].mp3", "Piano"},
        {"Song (Official Video) (Lyric Video) (Official Audio).mp3", "Song"},
        {"Track [Remix 2].mp3", "Track [Remix 2]"},
        {"Track [Remix_2].mp3", "Track [Remix_2]"},
        {"Track [a] [b].mp3", "Track [a]"},
        {"[abc].mp3", "[abc]"},
        {"x [].mp3", "x"},
        {"x [caf\xC3\xA9].mp3", "x [caf\xC3\xA9]"},
        {"Song -.mp3", "Song"},
        {"Song - -.mp3", "Song -"},
        {"(Audio).mp3", ""},
        {"a.b.mp3", "a.b"},
        {".mp3", ".mp3"},
        {"SONG.MP3", "SONG"},
    };
    for (const auto &c : cases) EXPECT_EQ(pf::clean_title(c.name), c.title) << c.name;
}

TEST(CleanTitle, SearchResumesWhereTheFragmentWas) {
    // The removal closes up "(Au" + "dio)" to a new fragment that starts
    // before the search position, so it stays.
    EXPECT_EQ(pf::clean_title("(Au(Audio)dio).mp3"), "(Audio)");
    // A fragment that slides into the search position is removed too.
    EXPECT_EQ(pf::clean_title("x (LIVE)(LIVE)(LIVE).mp3"), "x");
}

TEST(CleanTitle, TrimsBlanksAndDashesOncePerPass) {
    const struct {
        const char *name, *title;
    } cases[] = {
        {" \t Song \t.mp3", "Song"},
        {"Song\t[id1]\t.mp3", "Song"},  // the tag cut leaves the tab, the final trim takes it
        {"Song --  .mp3", "Song"},
        {"- Song.mp3", "- Song"},
        {"---.mp3", ""},
        {"Song [id] (LIVE).mp3", "Song"},
    };
    for (const auto &c : cases) EXPECT_EQ(pf::clean_title(c.name), c.title) << c.name;
}

std::string folder_title_of(const char *folder, const char *playlist = nullptr) {
    char title[pf::kChannelTitleCapacity];
    pf::folder_title(folder, playlist, title);
    return title;
}

TEST(FolderTitle, NamesComeFromTheLastComponentWithWordsCapitalised) {
    const struct {
        const char *folder, *title;
    } cases[] = {
        {"/media/all", "My Music"},
        {"/media/video", "My Music Videos"},
        {"/media/Video", "Video"},
        {"/media/ALL", "ALL"},
        {"D:\\media\\my-best_of 2nd", "My Best Of 2Nd"},
        {"rock'n'roll", "Rock'N'Roll"},
        {"/x/iPod", "IPod"},
        {"/x/\xC3\xA9t\xC3\xA9 songs", "\xC3\xA9T\xC3\xA9 Songs"},
        {"", ""},
    };
    for (const auto &c : cases) EXPECT_EQ(folder_title_of(c.folder), c.title) << c.folder;
}

TEST(FolderTitle, PlaylistNameIsTakenUnchangedAndCut) {
    EXPECT_EQ(folder_title_of("/media/all", "jazz nights"), "jazz nights");
    std::string long_name(1500, 'n');
    EXPECT_EQ(folder_title_of("/media/all", long_name.c_str()), long_name.substr(0, 1023));
}

}  // namespace
