// The show page: the feed's channel and episodes as an HTML page for people,
// with a player for each episode and the ways to subscribe.
#pragma once

#include <string>

#include "../feed_job.h"

namespace podcastfeed {

// The page for the feed prepare_feed left in the library; its URLs are the
// feed's own (enclosures, artwork, feed_url).
std::string show_page_html(const Feed &feed);

// The name the page is published under, beside feed.xml.
inline constexpr const char *kPageName = "index.html";

// Where the page is found: the folder's own URL, which a web server answers
// with its index.html.
inline std::string show_page_url(const Feed &feed) { return feed.base_url + "/"; }

}  // namespace podcastfeed
