// Tests of the episode table and everything built on it share one process:
// this puts the table, the URL overrides and the URL settings back to the
// state the library has at load.
#pragma once

#include <cstdlib>

#include "core/error.h"
#include "episodes/episodes.h"

namespace pf_test {

inline void reset_episode_table() {
    pf::s_ep_n = 0;
    pf::s_override_n = 0;
    for (char **slot : {&pf::s_url_base, &pf::s_url_local_root, &pf::s_guid_prefix}) {
        std::free(*slot);
        *slot = nullptr;
    }
    pf::clear_err();
}

}  // namespace pf_test
