// Rendering tests share one process: each starts from the state the library
// has at load (no channel values, no episodes, no URL settings, no feed
// buffer), with episodes written straight into the table so that every field
// is exactly what the test says, and files in a folder removed afterwards.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "core/error.h"
#include "core/feed_state.h"
#include "core/text.h"
#include "episodes/episodes.h"
#include "quorvane_podcastfeed.h"
#include "render/render.h"
#include "support/temp_dir.h"

namespace pf_test {

// Fixes the build date so that documents do not follow the clock.
inline constexpr const char *kBuildDate = "Tue, 14 Nov 2023 22:13:20 GMT";

// The five bytes XML reserves, and what the document must show for them.
inline constexpr const char *kSpecial = "&<>\"'";
inline constexpr const char *kEscaped = "&amp;&lt;&gt;&quot;&apos;";

// The document rendered into a private buffer, leaving the feed buffer alone.
inline std::string build_document() {
    std::string buffer(std::size_t{1} << 20, '\0');
    int rc;
    while ((rc = pf::feed_build(pf::s_feed, buffer.data(), buffer.size())) == pf::kBuildOverflow)
        buffer.resize(buffer.size() * 2);
    EXPECT_EQ(rc, 0) << pf::s_err;
    return buffer.c_str();
}

class RenderTest : public ::testing::Test {
protected:
    void SetUp() override { pf::reset_feed_state(pf::s_feed); }
    void TearDown() override { pf::reset_feed_state(pf::s_feed); }

    const std::string &dir() const { return tmp_.path(); }

    std::string write(const std::string &name, const std::string &bytes) const {
        const std::string path = tmp_.file(name);
        write_file(path, bytes);
        return path;
    }

    // Appends an empty record for file; the test fills in the rest.
    static pf::pf_episode &add_episode(const std::string &file) {
        pf::pf_episode_table &eps = pf::s_feed.episodes;
        pf::pf_episode &e = eps[eps.count++];
        e = pf::pf_episode{};
        e.file.assign(file);
        return e;
    }

private:
    TempDir tmp_;
};

}  // namespace pf_test
