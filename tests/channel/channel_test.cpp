// Channel settings through the exported functions, and the lookup by key.
#include <gtest/gtest.h>

#include <string>

#include "channel/channel.h"
#include "core/feed_state.h"
#include "core/json.h"
#include "quorvane_podcastfeed.h"

namespace {

class Channel : public ::testing::Test {
protected:
    void SetUp() override { pf::reset_feed_state(pf::s_feed); }
};

std::string json() { return feed_channel_json(); }

const char *lookup(const char *key) { return pf::channel_lookup(pf::s_feed.channel, key); }

}  // namespace

TEST_F(Channel, EveryListedKeyIsSettableAndNothingElse) {
    for (const pf::pf_channel_key &k : pf::PF_CHANNEL_KEYS) EXPECT_EQ(feed_channel_set(k.key, k.key), 0) << k.key;
    EXPECT_EQ(pf::s_feed.channel.count, 8);

    const struct {
        const char *key, *message;
    } refused[] = {
        {"Title", "feed_channel_set: unknown key 'Title'"},
        {"title ", "feed_channel_set: unknown key 'title '"},
        {"link", "feed_channel_set: unknown key 'link'"},
        {"lastbuilddate", "feed_channel_set: unknown key 'lastbuilddate'"},
    };
    for (const auto &r : refused) {
        EXPECT_EQ(feed_channel_set(r.key, "v"), -1) << r.key;
        EXPECT_STREQ(feed_last_error(), r.message);
    }
    EXPECT_EQ(pf::s_feed.channel.count, 8);
}

TEST_F(Channel, NullOrEmptyArgumentsAreRefusedWithOneMessage) {
    const struct {
        const char *key, *value;
    } cases[] = {{nullptr, "v"}, {"", "v"}, {"title", nullptr}, {nullptr, nullptr}};
    for (const auto &c : cases) {
        EXPECT_EQ(feed_channel_set(c.key, c.value), -1);
        EXPECT_STREQ(feed_last_error(), "feed_channel_set: NULL args");
    }
    EXPECT_EQ(json(), "{}");
}

TEST_F(Channel, ValuesUpTo4095BytesAreKeptWhole) {
    const std::string longest(4095, 'v');
    ASSERT_EQ(feed_channel_set("description", longest.c_str()), 0);
    EXPECT_EQ(std::string(lookup("description")), longest);

    const std::string too_long(4096, 'w');
    EXPECT_EQ(feed_channel_set("description", too_long.c_str()), -1);
    EXPECT_STREQ(feed_last_error(), "feed_channel_set: value too long for 'description'");
    EXPECT_EQ(std::string(lookup("description")), longest) << "a refused value changes nothing";
    EXPECT_EQ(feed_channel_set("title", too_long.c_str()), -1);
    EXPECT_EQ(lookup("title"), nullptr);
}

TEST_F(Channel, AnUpdateKeepsTheFirstPosition) {
    ASSERT_EQ(feed_channel_set("language", "en"), 0);
    ASSERT_EQ(feed_channel_set("title", "My Music"), 0);
    EXPECT_EQ(json(), "{\"language\":\"en\",\"title\":\"My Music\"}");
    ASSERT_EQ(feed_channel_set("language", "de"), 0);
    EXPECT_EQ(json(), "{\"language\":\"de\",\"title\":\"My Music\"}");
    EXPECT_EQ(pf::s_feed.channel.count, 2);
}

TEST_F(Channel, LookupFindsSetKeysIncludingEmptyValues) {
    ASSERT_EQ(feed_channel_set("title", ""), 0);
    ASSERT_NE(lookup("title"), nullptr);
    EXPECT_STREQ(lookup("title"), "");
    EXPECT_EQ(json(), "{\"title\":\"\"}");
    EXPECT_EQ(lookup("author"), nullptr);
    EXPECT_EQ(lookup("Title"), nullptr);
    EXPECT_EQ(lookup(nullptr), nullptr);
}

TEST_F(Channel, JsonEscapesValuesAndStaysInOneBuffer) {
    const char *first = feed_channel_json();
    EXPECT_STREQ(first, "{}");
    ASSERT_EQ(feed_channel_set("title", "say \"hi\"\\ / \n\t\x01 caf\xC3\xA9"), 0);
    const char *second = feed_channel_json();
    EXPECT_EQ(first, second);
    EXPECT_STREQ(second, "{\"title\":\"say \\\"hi\\\"\\\\ / \\n\\t\\u0001 caf\xC3\xA9\"}");
}

TEST_F(Channel, AValueThatIsNotUtf8GivesAnEmptyObject) {
    ASSERT_EQ(feed_channel_set("title", "ok"), 0);
    ASSERT_EQ(feed_channel_set("author", "bad \xFF byte"), 0);
    EXPECT_EQ(json(), "{}");
}

TEST_F(Channel, TheLargestPossibleObjectIsNeverCut) {
    // Every key at full length, every byte escaped to six: far past 32 KiB.
    const std::string worst(4095, '\x01');
    for (const pf::pf_channel_key &k : pf::PF_CHANNEL_KEYS) ASSERT_EQ(feed_channel_set(k.key, worst.c_str()), 0) << k.key;
    const std::string text = json();
    EXPECT_GT(text.size(), 8u * 4095u * 6u);
    pf::JsonDoc doc;
    ASSERT_TRUE(pf::json_parse(text.c_str(), &doc));
    for (const pf::pf_channel_key &k : pf::PF_CHANNEL_KEYS) EXPECT_EQ(pf::json_string(doc, k.key), worst) << k.key;
}

TEST_F(Channel, SuccessEmptiesTheLastErrorAndReadsLeaveIt) {
    EXPECT_EQ(feed_channel_set("nope", "v"), -1);
    feed_channel_json();
    EXPECT_STREQ(feed_last_error(), "feed_channel_set: unknown key 'nope'");
    EXPECT_EQ(feed_channel_set("title", "v"), 0);
    EXPECT_STREQ(feed_last_error(), "");

    EXPECT_EQ(feed_channel_set("nope", "v"), -1);
    EXPECT_EQ(feed_channel_reset(), 0);
    EXPECT_STREQ(feed_last_error(), "");
    EXPECT_EQ(json(), "{}");
}

TEST_F(Channel, ArgumentsMayPointIntoTheLibrarysOwnBuffers) {
    ASSERT_EQ(feed_channel_set("title", "first"), 0);
    ASSERT_EQ(feed_channel_set("title", lookup("title")), 0);
    EXPECT_STREQ(lookup("title"), "first");

    ASSERT_EQ(feed_channel_set("description", feed_channel_json()), 0);
    EXPECT_STREQ(lookup("description"), "{\"title\":\"first\"}");

    EXPECT_EQ(feed_channel_set("bad'key", "v"), -1);
    EXPECT_EQ(feed_channel_set(feed_last_error(), "v"), -1);
    EXPECT_STREQ(feed_last_error(), "feed_channel_set: unknown key 'feed_channel_set: unknown key 'bad'key''");
}

TEST_F(Channel, AHugeUnknownKeyIsReportedCut) {
    const std::string key(100000, 'k');
    EXPECT_EQ(feed_channel_set(key.c_str(), "v"), -1);
    const std::string message = feed_last_error();
    EXPECT_EQ(message.size(), 2047u);
    EXPECT_EQ(message.rfind("feed_channel_set: unknown key 'kkk", 0), 0u);
}
