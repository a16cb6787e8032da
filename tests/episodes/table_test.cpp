// The table's edits and the status conventions of every episode operation.
#include <climits>
#include <cstring>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "episode_state.h"

namespace pf_test {
namespace {

using Episodes = EpisodeTest;

std::string titles() {
    std::string order;
    for (int i = 0; i < feed_episode_count(); ++i) order += pf::s_feed.episodes[i].title.view();
    return order;
}

void add_titled(const char *titles) {
    for (const char *t = titles; *t; ++t) {
        ASSERT_EQ(feed_episode_add("{\"file\":\"/none/x.mp3\"}"), 0);
        ASSERT_EQ(feed_episode_set(feed_episode_count() - 1, "title", std::string(1, *t).c_str()), 0);
    }
}

TEST_F(Episodes, FailedCallsSetTheirMessageAndChangeNothing) {
    add_titled("P");
    const struct {
        std::function<int()> call;
        const char *message;
    } cases[] = {
        {[] { return feed_episode_set(-1, "title", "x"); }, "feed_episode_set: bad args"},
        {[] { return feed_episode_set(1, "title", "x"); }, "feed_episode_set: bad args"},
        {[] { return feed_episode_set(0, nullptr, "x"); }, "feed_episode_set: bad args"},
        {[] { return feed_episode_set(0, "title", nullptr); }, "feed_episode_set: bad args"},
        {[] { return feed_episode_set(0, "duration_s", "5"); }, "feed_episode_set: unknown key 'duration_s'"},
        {[] { return feed_episode_set(0, "Title", "x"); }, "feed_episode_set: unknown key 'Title'"},
        {[] { return feed_episode_remove(-1); }, "feed_episode_remove: bad index -1"},
        {[] { return feed_episode_remove(1); }, "feed_episode_remove: bad index 1"},
        {[] { return feed_episode_move(0, 1); }, "feed_episode_move: bad index i=0 j=1"},
        {[] { return feed_episode_move(-1, 0); }, "feed_episode_move: bad index i=-1 j=0"},
        {[] { return feed_episode_add(nullptr); }, "feed_episode_add: NULL json"},
        {[] { return feed_episode_add(""); }, "feed_episode_add: NULL json"},
        {[] { return feed_url_base(nullptr, "/m"); }, "feed_url_base: NULL base"},
        {[] { return feed_url_base("", nullptr); }, "feed_url_base: NULL base"},
        {[] { return feed_url_override(nullptr, "u"); }, "feed_url_override: NULL args"},
        {[] { return feed_url_override("f", nullptr); }, "feed_url_override: NULL args"},
    };
    const pf::pf_episode before = pf::s_feed.episodes[0];
    for (const auto &c : cases) {
        EXPECT_EQ(c.call(), -1) << c.message;
        EXPECT_STREQ(feed_last_error(), c.message);
        EXPECT_EQ(feed_episode_count(), 1);
        EXPECT_TRUE(before == pf::s_feed.episodes[0]) << c.message;
    }
    EXPECT_EQ(pf::s_feed.urls.override_count, 0);
    EXPECT_EQ(pf::s_feed.urls.base, nullptr);
}

TEST_F(Episodes, SuccessEmptiesTheLastErrorButReadersLeaveIt) {
    add_titled("P");
    const std::function<int()> emptying[] = {
        [] { return feed_episode_set(0, "title", "Q"); },
        [] { return feed_episode_move(0, 0); },
        [] { return feed_url_base("https://h", nullptr); },
        [] { return feed_url_override("x.mp3", "https://h/x"); },
        [] { return feed_episode_add("{\"file\":\"/none/y.mp3\"}"); },
        [] { return feed_episode_remove(1); },
    };
    for (const auto &call : emptying) {
        pf::set_err("earlier");
        EXPECT_EQ(call(), 0);
        EXPECT_STREQ(feed_last_error(), "");
    }
    pf::set_err("earlier");
    EXPECT_EQ(feed_episode_count(), 1);
    EXPECT_STREQ(feed_episode_field(0, "title"), "Q");
    EXPECT_STREQ(feed_episode_field(0, "no such field"), "");
    EXPECT_STREQ(feed_last_error(), "earlier");
}

TEST_F(Episodes, EmptyTableRejectsEveryPosition) {
    EXPECT_EQ(feed_episode_count(), 0);
    EXPECT_EQ(feed_episode_set(0, "title", "x"), -1);
    EXPECT_EQ(feed_episode_remove(0), -1);
    EXPECT_EQ(feed_episode_move(0, 0), -1);
    EXPECT_STREQ(feed_last_error(), "feed_episode_move: bad index i=0 j=0");
    EXPECT_EQ(feed_episode_field(0, "title"), nullptr);
    EXPECT_STREQ(feed_last_error(), "feed_episode_field: index 0 out of range");
}

TEST_F(Episodes, MoveAndRemoveKeepTheOtherEpisodesInOrder) {
    const struct {
        std::function<int()> edit;
        const char *order;
    } cases[] = {
        {[] { return feed_episode_move(0, 2); }, "QRPS"}, {[] { return feed_episode_move(3, 1); }, "PSQR"},
        {[] { return feed_episode_move(1, 1); }, "PQRS"}, {[] { return feed_episode_move(0, 3); }, "QRSP"},
        {[] { return feed_episode_move(3, 0); }, "SPQR"}, {[] { return feed_episode_remove(0); }, "QRS"},
        {[] { return feed_episode_remove(3); }, "PQR"},   {[] { return feed_episode_remove(1); }, "PRS"},
    };
    for (const auto &c : cases) {
        pf::reset_feed_state(pf::s_feed);
        add_titled("PQRS");
        EXPECT_EQ(c.edit(), 0) << c.order;
        EXPECT_EQ(titles(), c.order);
    }
}

// Records are reused after removals, so a long mixed run checks that every
// position names an episode's own record and that a new episode never shows
// what an earlier one left in its record.
TEST_F(Episodes, AnyRunOfEditsMatchesAListOfTheSameEdits) {
    struct Expected {
        std::string title, description;
    };
    std::vector<Expected> model;
    std::mt19937 random(7);
    const auto below = [&random](std::size_t n) { return static_cast<int>(random() % n); };
    for (int step = 0; step < 3000; ++step) {
        const int n = static_cast<int>(model.size());
        const int op = n == 0 ? 0 : below(4);  // adds twice as often, so the table grows
        if (op == 0 || op == 3) {
            const Expected e{"t" + std::to_string(step), below(2) ? "d" + std::to_string(step) : ""};
            ASSERT_EQ(feed_episode_add(("{\"file\":\"/none/x.mp3\",\"title\":\"" + e.title + "\"}").c_str()), 0);
            if (!e.description.empty()) {
                ASSERT_EQ(feed_episode_set(n, "description", e.description.c_str()), 0);
            }
            model.push_back(e);
        } else if (op == 1) {
            const int at = below(n);
            ASSERT_EQ(feed_episode_remove(at), 0);
            model.erase(model.begin() + at);
        } else {
            const int i = below(n), j = below(n);
            ASSERT_EQ(feed_episode_move(i, j), 0);
            const Expected moved = model[i];
            model.erase(model.begin() + i);
            model.insert(model.begin() + j, moved);
        }
    }
    ASSERT_EQ(feed_episode_count(), static_cast<int>(model.size()));
    for (int i = 0; i < feed_episode_count(); ++i) {
        EXPECT_EQ(feed_episode_field(i, "title"), model[i].title) << i;
        EXPECT_EQ(feed_episode_field(i, "description"), model[i].description) << i;
    }
}

TEST_F(Episodes, SetReadsNumbersAsAtoiDoesSaturatingAtTheLimits) {
    add_titled("P");
    const struct {
        const char *value;
        int stored;
    } cases[] = {
        {"12abc", 12}, {"abc", 0}, {" -3", -3}, {"\t\n+7", 7}, {"", 0},
        {"2147483647", INT_MAX}, {"2147483648", INT_MAX}, {"-99999999999999999999", INT_MIN},
    };
    for (const auto &c : cases) {
        for (const char *key : {"episode", "season", "block"}) ASSERT_EQ(feed_episode_set(0, key, c.value), 0);
        EXPECT_EQ(pf::s_feed.episodes[0].episode, c.stored) << c.value;
        EXPECT_EQ(pf::s_feed.episodes[0].season, c.stored) << c.value;
        EXPECT_EQ(pf::s_feed.episodes[0].block, c.stored) << c.value;
    }
}

TEST_F(Episodes, SetCutsEveryTextToItsField) {
    add_titled("P");
    pf::pf_episode &e = pf::s_feed.episodes[0];
    int texts = 0;
    for (const pf::pf_field &f : pf::PF_EPISODE_FIELDS) {
        if (!f.host_sets || f.kind != pf::FieldKind::text) continue;
        ++texts;
        const std::string long_text(f.capacity + 500, 'a');
        ASSERT_EQ(feed_episode_set(0, f.name, long_text.c_str()), 0);
        EXPECT_EQ(f.view(e), long_text.substr(0, f.capacity - 1)) << f.name;
    }
    EXPECT_EQ(texts, 9);
    EXPECT_EQ(e.url_explicit, 1);
    const std::string title(1500, 't');
    feed_episode_set(0, "title", title.c_str());
    EXPECT_EQ(std::strlen(feed_episode_field(0, "title")), 1023u);
}

TEST_F(Episodes, TableHoldsAtMost4096Episodes) {
    for (int i = 0; i < pf::kMaxEpisodes; ++i) ASSERT_EQ(feed_episode_add("{\"file\":\"/none/x.mp3\"}"), 0);
    EXPECT_EQ(feed_episode_add("{\"file\":\"/none/x.mp3\"}"), -1);
    EXPECT_STREQ(feed_last_error(), "feed_episode_add: too many episodes");
    // Checks run in order: a missing file is reported even when the table is full.
    EXPECT_EQ(feed_episode_add("{}"), -1);
    EXPECT_STREQ(feed_last_error(), "feed_episode_add: missing 'file'");
    EXPECT_EQ(feed_episode_count(), pf::kMaxEpisodes);
}

}  // namespace
}  // namespace pf_test
