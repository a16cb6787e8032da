// The last-error text: formatting, cutting and messages that embed it.
#include <gtest/gtest.h>

#include <string>

#include "core/error.h"
#include "quorvane_podcastfeed.h"

namespace {
// Read during static initialisation, before any test can set a message.
const std::string kAtLoad = feed_last_error();
}  // namespace

TEST(LastError, IsEmptyAtLoadAndNeverNull) {
    EXPECT_EQ(kAtLoad, "");
    ASSERT_NE(feed_last_error(), nullptr);
    EXPECT_EQ(feed_last_error(), pf::s_err) << "the reader hands out the one buffer";
}

TEST(LastError, FailSetsTheFormattedMessageAndReturnsMinusOne) {
    EXPECT_EQ(pf::fail("feed_x: bad index i=%d j=%lld %s", -1, 9000000000LL, "end"), -1);
    EXPECT_STREQ(feed_last_error(), "feed_x: bad index i=-1 j=9000000000 end");
    pf::clear_err();
    EXPECT_STREQ(feed_last_error(), "");
}

TEST(LastError, LongMessagesAreCutToCapacityOnACharacterBoundary) {
    const struct {
        std::string message, want;
    } cases[] = {
        {std::string(3000, 'm'), std::string(2047, 'm')},
        {std::string(2047, 'm'), std::string(2047, 'm')},
        {std::string(2046, 'm') + "\xC3\xA9", std::string(2046, 'm')},
        {std::string(2045, 'm') + "\xC3\xA9" + "tail", std::string(2045, 'm') + "\xC3\xA9"},
        {std::string(2044, 'm') + "\xF0\x9F\x8E\xB5", std::string(2044, 'm')},
    };
    for (const auto &c : cases) {
        pf::set_err("%s", c.message.c_str());
        EXPECT_EQ(std::string(feed_last_error()), c.want) << c.message.size();
    }
}

TEST(LastError, AMessageMayEmbedTheCurrentOne) {
    pf::set_err("inner reason");
    pf::set_err("outer: %s (%s)", pf::s_err, pf::s_err + 6);
    EXPECT_STREQ(feed_last_error(), "outer: inner reason (reason)");

    pf::set_err("%s", std::string(2047, 'a').c_str());
    pf::set_err("x%s", pf::s_err);
    EXPECT_EQ(std::string(feed_last_error()), "x" + std::string(2046, 'a'));
}
