// The episode table in feed order, and the host's edits of it: setting one
// field, removing an episode, moving one to another position.
#include <algorithm>
#include <array>
#include <cstdint>
#include <limits>
#include <string_view>

#include "core/error.h"
#include "core/number.h"
#include "core/text.h"
#include "episodes/episodes.h"
#include "quorvane_podcastfeed.h"

namespace pf {

const pf_episode_table s_eps{};
int s_ep_n = 0;

namespace {

pf_episode s_records[kMaxEpisodes];

using RecordNumber = std::uint16_t;
static_assert(kMaxEpisodes - 1 <= std::numeric_limits<RecordNumber>::max());

// Always a permutation of the record numbers, so a count set back to any
// value (a new scan sets it to 0) leaves every position naming a record of
// its own. In load order at first: a table that never shrank uses the
// records from the front and leaves the others untouched.
constexpr std::array<RecordNumber, kMaxEpisodes> load_order() {
    std::array<RecordNumber, kMaxEpisodes> order{};
    for (int i = 0; i < kMaxEpisodes; ++i) order[i] = static_cast<RecordNumber>(i);
    return order;
}
std::array<RecordNumber, kMaxEpisodes> s_order = load_order();

auto order_at(int position) { return s_order.begin() + position; }

bool is_position(int index) { return index >= 0 && index < s_ep_n; }

// 0 when key names a field the host may set (and it was set), -1 otherwise.
int set_field(pf_episode &e, std::string_view key, const char *value) {
    const pf_field *field = find_field(key);
    if (!field || !field->host_sets) return -1;
    if (field->kind == FieldKind::int32) {
        e.*field->int32 = atoi_sat(value);
        return 0;
    }
    const std::span<char> text = field->text(e);
    copy_cut(text.data(), text.size(), value);
    // A URL the host chose is never derived again, even an empty one.
    if (key == "url") e.url_explicit = 1;
    return 0;
}

}  // namespace

pf_episode &pf_episode_table::operator[](int position) const { return s_records[s_order[position]]; }

}  // namespace pf

extern "C" PF_API int feed_episode_count(void) { return pf::s_ep_n; }

extern "C" PF_API int feed_episode_set(int index, const char *key, const char *value) {
    using namespace pf;
    if (!is_position(index) || !key || !value) return fail("feed_episode_set: bad args");
    if (set_field(s_eps[index], key, value) != 0)
        return fail("feed_episode_set: unknown key '%s'", key);
    clear_err();
    return 0;
}

extern "C" PF_API int feed_episode_remove(int index) {
    using namespace pf;
    if (!is_position(index)) return fail("feed_episode_remove: bad index %d", index);
    // The removed episode's record becomes the first free one, so the next
    // episode added reuses it.
    std::rotate(order_at(index), order_at(index + 1), order_at(s_ep_n));
    --s_ep_n;
    clear_err();
    return 0;
}

extern "C" PF_API int feed_episode_move(int i, int j) {
    using namespace pf;
    if (!is_position(i) || !is_position(j)) return fail("feed_episode_move: bad index i=%d j=%d", i, j);
    if (i < j)
        std::rotate(order_at(i), order_at(i + 1), order_at(j + 1));
    else if (j < i)
        std::rotate(order_at(j), order_at(i), order_at(i + 1));
    clear_err();
    return 0;
}
