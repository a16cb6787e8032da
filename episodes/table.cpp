// The episode table in feed order, and the host's edits of it: setting one
// field, removing an episode, moving one to another position.
#include <algorithm>
#include <new>
#include <string_view>

#include "core/error.h"
#include "core/feed_state.h"
#include "core/number.h"
#include "episodes/episodes.h"
#include "quorvane_podcastfeed.h"

namespace pf {

namespace {

bool is_position(const pf_episode_table &eps, int index) { return index >= 0 && index < eps.count; }

// 0 when key names a field the host may set (and it was set), -1 otherwise.
int set_field(pf_episode &e, std::string_view key, const char *value) {
    const pf_field *field = find_field(key);
    if (!field || !field->host_sets) return -1;
    if (field->kind == FieldKind::int32) {
        e.*field->int32 = atoi_sat(value);
        return 0;
    }
    // Throws with the text as it was, so a failed call changes nothing.
    field->assign(e, value);
    // A URL the host chose is never derived again, even an empty one.
    if (key == "url") e.url_explicit = 1;
    return 0;
}

}  // namespace

// The mapping of positions to records is always a permutation of the record
// numbers, so a count set back to any value (a new scan sets it to 0) leaves
// every position naming a record of its own. Until the first edit every
// position names its own record: a table that never shrank uses the records
// from the front and leaves the others untouched.
pf_episode &pf_episode_table::operator[](int position) {
    return records_.at[position < ordered_ ? order_[position] : position];
}

const pf_episode &pf_episode_table::operator[](int position) const {
    return records_.at[position < ordered_ ? order_[position] : position];
}

// Edits reorder the positions below count only, and only once those all
// have their record number written down.
void pf_episode_table::order_through(int end) {
    for (; ordered_ < end; ++ordered_) order_[ordered_] = static_cast<RecordNumber>(ordered_);
}

void pf_episode_table::remove(int position) {
    order_through(count);
    std::rotate(order_ + position, order_ + position + 1, order_ + count);
    --count;
}

void pf_episode_table::move(int from, int to) {
    order_through(count);
    if (from < to)
        std::rotate(order_ + from, order_ + from + 1, order_ + to + 1);
    else if (to < from)
        std::rotate(order_ + to, order_ + from, order_ + from + 1);
}

}  // namespace pf

extern "C" PF_API int feed_episode_count(void) { return pf::s_feed.episodes.count; }

extern "C" PF_API int feed_episode_set(int index, const char *key, const char *value) {
    using namespace pf;
    pf_episode_table &eps = s_feed.episodes;
    if (!is_position(eps, index) || !key || !value) return fail("feed_episode_set: bad args");
    try {
        if (set_field(eps[index], key, value) != 0) return fail("feed_episode_set: unknown key '%s'", key);
    } catch (const std::bad_alloc &) {
        return fail("out of memory");
    }
    clear_err();
    return 0;
}

extern "C" PF_API int feed_episode_remove(int index) {
    using namespace pf;
    pf_episode_table &eps = s_feed.episodes;
    if (!is_position(eps, index)) return fail("feed_episode_remove: bad index %d", index);
    eps.remove(index);
    clear_err();
    return 0;
}

extern "C" PF_API int feed_episode_move(int i, int j) {
    using namespace pf;
    pf_episode_table &eps = s_feed.episodes;
    if (!is_position(eps, i) || !is_position(eps, j)) return fail("feed_episode_move: bad index i=%d j=%d", i, j);
    eps.move(i, j);
    clear_err();
    return 0;
}
