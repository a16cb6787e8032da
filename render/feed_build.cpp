// The RSS document writer: the channel head, one item per episode and the
// closing tags, written in one pass into the caller's buffer.
#include <algorithm>
#include <cstdint>
#include <initializer_list>
#include <string_view>

#include "channel/channel.h"
#include "core/dates.h"
#include "core/error.h"
#include "core/feed_state.h"
#include "core/number.h"
#include "core/platform.h"
#include "core/text.h"
#include "episodes/episodes.h"
#include "quorvane_podcastfeed.h"
#include "render/render.h"

namespace pf {

namespace {

constexpr std::size_t kBaseUrlCapacity = 2048;

// Writes pieces of text one after another, into a buffer of fixed size or
// into the feed buffer, which grows as the pieces need.
//
// In a fixed buffer, a put whose pieces do not fit whole (with room left for
// the NUL) ends the writing, the buffer holding the longest prefix that fits:
// so joining pieces into one put changes neither the outcome nor the bytes.
//
// The feed buffer instead grows at the first put that does not fit, keeping
// what is written. The document is so rendered once: every file is looked at
// once, and the rendering that measured the document is the one the caller
// gets.
class Appender {
public:
    Appender(char *buffer, std::uint64_t capacity) : buffer_(buffer), capacity_(capacity) {}
    explicit Appender(pf_feed_buffer &feed) : buffer_(feed.text), capacity_(feed.capacity), feed_(&feed) {}

    // False when the pieces are not written whole: they did not fit the
    // fixed buffer, or the feed buffer could not grow.
    bool put(std::initializer_list<std::string_view> pieces) {
        std::uint64_t n = 0;
        for (std::string_view piece : pieces) n += piece.size();
        if (n >= capacity_ - length_ && !make_room(n)) {
            put_prefix(pieces);
            return false;
        }
        char *at = buffer_ + length_;
        for (std::string_view piece : pieces) at = std::copy(piece.begin(), piece.end(), at);
        *at = '\0';
        length_ += n;
        return true;
    }

private:
    bool make_room(std::uint64_t n) {
        set_err("feed_build: buffer overflow");
        if (!feed_ || !grow_feed_buffer(*feed_, length_ + n + 1)) return false;
        buffer_ = feed_->text;
        capacity_ = feed_->capacity;
        return true;
    }

    void put_prefix(std::initializer_list<std::string_view> pieces) {
        if (capacity_ == 0) return;
        std::uint64_t room = capacity_ - 1 - length_;
        char *at = buffer_ + length_;
        for (std::string_view piece : pieces) {
            const std::size_t take = static_cast<std::size_t>(std::min<std::uint64_t>(room, piece.size()));
            at = std::copy_n(piece.begin(), take, at);
            room -= take;
        }
        *at = '\0';
    }

    char *buffer_;
    std::uint64_t capacity_;
    pf_feed_buffer *feed_ = nullptr;
    std::uint64_t length_ = 0;
};

// A value as the document shows it: the stored text itself when escaping
// would not change it, which is the common case, or an escaped copy it owns.
class XmlText {
public:
    // False (xml_escape has set "out of memory") when a copy cannot be made.
    bool set(const char *text) {
        if (escapes_unchanged(text)) {
            copy_.reset();
            text_ = text;
        } else {
            copy_ = xml_escape(text);
            if (!copy_) return false;
            text_ = copy_.get();
        }
        return true;
    }
    std::string_view get() const { return text_; }
    explicit operator bool() const { return text_.data() != nullptr; }

private:
    HeapText copy_;
    std::string_view text_;
};

struct Escape {
    XmlText *slot;
    const char *text;
};

// Fills every slot; false as soon as one cannot be made. Slots own their
// copies, so nothing leaks whichever way the document ends.
bool escape_all(std::initializer_list<Escape> escapes) {
    for (const Escape &e : escapes)
        if (!e.slot->set(e.text)) return false;
    return true;
}

// A set value wins; a missing key and an empty value both give the fallback,
// the key's own unless the caller made one.
const char *channel_value_or(const pf_channel_table &channel, const char *key, const char *fallback = nullptr) {
    const char *value = channel_lookup(channel, key);
    return value && *value ? value : fallback ? fallback : channel_fallback(key);
}

// The channel's values as the document shows them. The texts made here (the
// current time, the cut base URL) live beside the values that may point at them.
struct ChannelTexts {
    char now[kDateCapacity];
    char base[kBaseUrlCapacity];
    XmlText title, link, description, language, build_date, author, artwork, category, explicit_;
};

bool escape_channel(const pf_channel_table &channel, const char *base_url, ChannelTexts &c) {
    fmt_rfc1123(now_utc(), c.now);
    // Only the first 2047 bytes of the base URL reach the document; an unset
    // base reads as the empty text.
    copy_cut(c.base, base_url ? base_url : "");
    return escape_all({
        {&c.title, channel_value_or(channel, "title")},
        {&c.link, c.base},
        {&c.description, channel_value_or(channel, "description")},
        {&c.language, channel_value_or(channel, "language")},
        {&c.build_date, channel_value_or(channel, "lastBuildDate", c.now)},
        // The author's fallback is its own literal, not the channel's title.
        {&c.author, channel_value_or(channel, "author")},
        {&c.artwork, channel_value_or(channel, "artwork")},
        {&c.category, channel_value_or(channel, "category")},
        {&c.explicit_, channel_value_or(channel, "explicit")},
    });
}

bool put_channel_head(Appender &out, const ChannelTexts &c) {
    return out.put({
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        "<rss version=\"2.0\" \n"
        "  xmlns:itunes=\"http://www.itunes.com/dtds/podcast-1.0.dtd\"\n"
        "  xmlns:atom=\"http://www.w3.org/2005/Atom\">\n"
        "  <channel>\n"
        "    <title>", c.title.get(), "</title>\n"
        "    <link>", c.link.get(), "</link>\n"
        "    <description>", c.description.get(), "</description>\n"
        "    <language>", c.language.get(), "</language>\n"
        "    <lastBuildDate>", c.build_date.get(), "</lastBuildDate>\n"
        "    <atom:link href=\"", c.link.get(), "/feed.xml\" rel=\"self\" type=\"application/rss+xml\" />\n"
        "    <itunes:author>", c.author.get(), "</itunes:author>\n"
        "    <itunes:image href=\"", c.artwork.get(), "\" />\n"
        "    <itunes:summary>", c.description.get(), "</itunes:summary>\n"
        "    <itunes:category text=\"", c.category.get(), "\" />\n"
        "    <itunes:explicit>", c.explicit_.get(), "</itunes:explicit>\n"
        "    <itunes:type>episodic</itunes:type>\n",
    });
}

// A URL the host set is published even when the file is not reachable from
// here; a derived one only while the file can be examined.
bool has_enclosure(const pf_episode &e, StatusWalk &files) { return e.url_explicit || files.exists(e.file.c_str()); }

// The image and author lines are written whole, however long their escaped
// values grow, so an element is never cut open.
int put_item(Appender &out, const pf_url_settings &urls, StatusWalk &files, pf_episode &e) {
    if (!ep_derive_urls(urls, e)) return kBuildOutOfMemory;
    XmlText title, url, guid, pub_date, image, author;
    if (!escape_all({{&title, e.title.c_str()}, {&url, e.url.c_str()}, {&guid, e.guid.c_str()},
                     {&pub_date, e.pubDate.c_str()}}))
        return kBuildOutOfMemory;
    if ((!e.image.empty() && !image.set(e.image.c_str())) || (!e.author.empty() && !author.set(e.author.c_str())))
        return kBuildOutOfMemory;
    char duration[kDurationCapacity];
    fmt_duration_local(e.duration_s, duration);
    char size[kDecimalCapacity];
    const std::string_view length(size, static_cast<std::size_t>(put_decimal(size, e.size) - size));

    const bool fits =
        out.put({"    <item>\n      <title>", title.get(), "</title>\n"}) &&
        (!has_enclosure(e, files) || out.put({"      <enclosure url=\"", url.get(), "\" type=\"", e.mime.view(),
                                              "\" length=\"", length, "\" />\n"})) &&
        out.put({"      <guid isPermaLink=\"false\">", guid.get(), "</guid>\n"
                 "      <pubDate>", pub_date.get(), "</pubDate>\n"
                 "      <itunes:duration>", duration, "</itunes:duration>\n"
                 "      <itunes:explicit>false</itunes:explicit>"}) &&
        (!image || out.put({"\n      <itunes:image href=\"", image.get(), "\" />"})) &&
        (!author || out.put({"\n      <itunes:author>", author.get(), "</itunes:author>"})) &&
        out.put({"\n    </item>\n"});
    return fits ? 0 : kBuildOverflow;
}

// The whole document, piece after piece: 0 when every piece was written,
// kBuildOverflow when one was not, kBuildOutOfMemory when a value could not
// be escaped.
int write_document(pf_feed_state &st, Appender &out) {
    ChannelTexts channel;
    if (!escape_channel(st.channel, st.urls.base, channel)) return kBuildOutOfMemory;
    if (!put_channel_head(out, channel)) return kBuildOverflow;
    StatusWalk files;
    for (int i = 0; i < st.episodes.count; ++i)
        if (const int rc = put_item(out, st.urls, files, st.episodes[i]); rc != 0) return rc;
    return out.put({"  </channel>\n</rss>"}) ? 0 : kBuildOverflow;
}

}  // namespace

int feed_build(pf_feed_state &st, char *buffer, std::uint64_t capacity) {
    Appender out(buffer, capacity);
    return write_document(st, out);
}

int feed_build(pf_feed_state &st, pf_feed_buffer &feed) {
    Appender out(feed);
    const int rc = write_document(st, out);
    return rc == kBuildOverflow ? kBuildGrowthFailed : rc;
}

}  // namespace pf
