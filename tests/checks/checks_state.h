// Feed-check tests share one process: each starts from the state the library
// has at load, builds its episodes straight into the table so every field is
// exactly what the test says, and keeps its files in a folder removed
// afterwards.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <string_view>

#include "channel/channel.h"
#include "checks/checks.h"
#include "core/error.h"
#include "core/feed_state.h"
#include "core/text.h"
#include "episodes/episodes.h"
#include "quorvane_podcastfeed.h"
#include "support/temp_dir.h"

namespace pf_test {

// Replaces the first occurrence of from; fails the test when there is none,
// so a mutation that no longer applies cannot pass silently.
inline std::string replace_once(std::string text, std::string_view from, std::string_view to) {
    const std::size_t at = text.find(from);
    EXPECT_NE(at, std::string::npos) << "no " << from;
    if (at != std::string::npos) text.replace(at, from.size(), to);
    return text;
}

class FeedTest : public ::testing::Test {
protected:
    void SetUp() override {
        pf::reset_feed_state(pf::s_feed);
        feed_channel_set("lastBuildDate", "Tue, 14 Nov 2023 22:13:20 GMT");
    }
    void TearDown() override { pf::reset_feed_state(pf::s_feed); }

    // An episode whose media file exists, so the writer gives it an
    // enclosure; every text can be changed by the test afterwards.
    pf::pf_episode &add_episode(const std::string &name) {
        const std::string path = dir_.file(name);
        write_file(path, "media bytes");
        pf::pf_episode_table &eps = pf::s_feed.episodes;
        pf::pf_episode &e = eps[eps.count++];
        e = pf::pf_episode{};
        e.file.assign(path);
        e.title.assign("Title of " + name);
        e.pubDate.assign("Tue, 14 Nov 2023 22:13:20 GMT");
        e.mime.assign("audio/mpeg");
        e.duration_s = 125;
        e.size = 11;
        return e;
    }

    const std::string &folder() const { return dir_.path(); }
    std::string path(std::string_view name) const { return dir_.file(name); }

private:
    TempDir dir_;
};

}  // namespace pf_test
