// The RSS document writer: the channel head, one item per episode and the
// closing tags, written in one pass into the caller's buffer.
#include <cstdarg>
#include <cstdio>
#include <initializer_list>

#include "channel/channel.h"
#include "core/attributes.h"
#include "core/dates.h"
#include "core/error.h"
#include "core/feed_state.h"
#include "core/platform.h"
#include "core/text.h"
#include "episodes/episodes.h"
#include "quorvane_podcastfeed.h"
#include "render/render.h"

namespace pf {

namespace {

constexpr std::size_t kBaseUrlCapacity = 2048;

// Writes formatted pieces one after another, into a buffer of fixed size or
// into the feed buffer, which grows as the pieces need.
//
// In a fixed buffer, a piece that does not fit whole (with room left for the
// NUL) ends the writing: vsnprintf has then cut it, so the buffer holds the
// longest prefix that fits, and joining several pieces into one format call
// changes neither the outcome nor the bytes.
//
// The feed buffer instead grows at the first piece that does not fit,
// keeping what is written, and the piece is formatted again into the room it
// then has. The document is so rendered once: every file is looked at once,
// and the rendering that measured the document is the one the caller gets.
class Appender {
public:
    Appender(char *buffer, std::uint64_t capacity) : buffer_(buffer), capacity_(capacity) {}
    explicit Appender(pf_feed_buffer &feed) : buffer_(feed.text), capacity_(feed.capacity), feed_(&feed) {}

    // False when the piece is not written whole: it did not fit the fixed
    // buffer, could not be formatted at all, or the feed buffer could not grow.
    PF_PRINTF_FORMAT(2, 3) bool put(const char *fmt, ...) {
        std::va_list args;
        va_start(args, fmt);
        std::va_list again;
        va_copy(again, args);
        const std::uint64_t room = capacity_ - length_;
        int n = std::vsnprintf(room ? buffer_ + length_ : nullptr, static_cast<std::size_t>(room), fmt, args);
        if (n < 0 || static_cast<std::uint64_t>(n) >= room) {
            set_err("feed_build: buffer overflow");
            n = n >= 0 && feed_ && grow_feed_buffer(*feed_, length_ + static_cast<std::uint64_t>(n) + 1, length_)
                    ? reformat(fmt, again)
                    : -1;
        }
        va_end(again);
        va_end(args);
        if (n < 0) return false;
        length_ += static_cast<std::uint64_t>(n);
        return true;
    }

private:
    PF_PRINTF_FORMAT(2, 0) int reformat(const char *fmt, std::va_list args) {
        buffer_ = feed_->text;
        capacity_ = feed_->capacity;
        return std::vsnprintf(buffer_ + length_, static_cast<std::size_t>(capacity_ - length_), fmt, args);
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
            return true;
        }
        copy_ = xml_escape(text);
        text_ = copy_.get();
        return text_ != nullptr;
    }
    const char *get() const { return text_; }
    explicit operator bool() const { return text_ != nullptr; }

private:
    HeapText copy_;
    const char *text_ = nullptr;
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
    return out.put(
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        "<rss version=\"2.0\" \n"
        "  xmlns:itunes=\"http://www.itunes.com/dtds/podcast-1.0.dtd\"\n"
        "  xmlns:atom=\"http://www.w3.org/2005/Atom\">\n"
        "  <channel>\n"
        "    <title>%s</title>\n"
        "    <link>%s</link>\n"
        "    <description>%s</description>\n"
        "    <language>%s</language>\n"
        "    <lastBuildDate>%s</lastBuildDate>\n"
        "    <atom:link href=\"%s/feed.xml\" rel=\"self\" type=\"application/rss+xml\" />\n"
        "    <itunes:author>%s</itunes:author>\n"
        "    <itunes:image href=\"%s\" />\n"
        "    <itunes:summary>%s</itunes:summary>\n"
        "    <itunes:category text=\"%s\" />\n"
        "    <itunes:explicit>%s</itunes:explicit>\n"
        "    <itunes:type>episodic</itunes:type>\n",
        c.title.get(), c.link.get(), c.description.get(), c.language.get(), c.build_date.get(),
        c.link.get(), c.author.get(), c.artwork.get(), c.description.get(), c.category.get(),
        c.explicit_.get());
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

    const bool fits =
        out.put("    <item>\n      <title>%s</title>\n", title.get()) &&
        (!has_enclosure(e, files) ||
         out.put("      <enclosure url=\"%s\" type=\"%s\" length=\"%lld\" />\n", url.get(), e.mime.c_str(),
                 static_cast<long long>(e.size))) &&
        out.put("      <guid isPermaLink=\"false\">%s</guid>\n"
                "      <pubDate>%s</pubDate>\n"
                "      <itunes:duration>%s</itunes:duration>\n"
                "      <itunes:explicit>false</itunes:explicit>",
                guid.get(), pub_date.get(), duration) &&
        (!image || out.put("\n      <itunes:image href=\"%s\" />", image.get())) &&
        (!author || out.put("\n      <itunes:author>%s</itunes:author>", author.get())) &&
        out.put("\n    </item>\n");
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
    return out.put("  </channel>\n</rss>") ? 0 : kBuildOverflow;
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
