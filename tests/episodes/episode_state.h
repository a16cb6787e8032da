// Episode tests share one process: each starts from the state the library has
// at load, and files it writes live in a folder removed afterwards.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "core/error.h"
#include "core/feed_state.h"
#include "core/json.h"
#include "core/text.h"
#include "episodes/episodes.h"
#include "quorvane_podcastfeed.h"
#include "support/temp_dir.h"

namespace pf_test {

// Adds an episode for file; more holds further members, each led by a comma.
inline int add(const std::string &file, const std::string &more = "") {
    return feed_episode_add(("{\"file\":\"" + pf::json_escape(file) + "\"" + more + "}").c_str());
}

class EpisodeTest : public ::testing::Test {
protected:
    void SetUp() override { pf::reset_feed_state(pf::s_feed); }
    // Also frees the URL settings, so leak checkers see a clean exit.
    void TearDown() override { pf::reset_feed_state(pf::s_feed); }

    std::string dir() const { return temp_.path(); }

    std::string write(const std::string &name, const std::string &bytes) const {
        const std::string path = temp_.file(name);
        write_file(path, bytes);
        return path;
    }

private:
    TempDir temp_;
};

}  // namespace pf_test
