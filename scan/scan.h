// Internal side of the folder scan: sidecar loading, one media file turned
// into an episode record, and the title and channel-title rules.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "core/json.h"
#include "core/platform.h"
#include "core/text.h"
#include "episodes/episodes.h"

namespace pf {

// A sidecar's texts go to the episode's own fields.
constexpr std::size_t kSidecarImageCapacity = field_capacity("image");
constexpr std::size_t kSidecarAuthorCapacity = field_capacity("author");
constexpr std::size_t kChannelTitleCapacity = 1024;

// Tags that video sites append to titles, removed from scanned titles in
// this order; NULL-terminated.
extern const char *const PF_CLEAN_PATTERNS[];

// Copies the member called name into dst (cut to fit) when it is a
// non-empty string: configurations and sidecars treat any other value, the
// empty string included, as absent.
template <std::size_t N>
void take_text_member(const JsonValue &obj, const char *name, char (&dst)[N]) {
    std::optional<std::string_view> text = json_string(obj, name);
    if (text && !text->empty()) copy_cut(dst, *text);
}

// Reads the sidecar of the media file called name in folder. 0 when it is a
// regular file of 1 byte to 1 MiB holding a JSON object; its non-empty
// "thumbnail" and "author" strings then replace image and author. -1
// otherwise, with both left as they were. Reports nothing through the
// last-error text; throws std::bad_alloc when memory runs out, which a scan
// must not take for a missing sidecar.
int sidecar_load(const Folder &folder, std::string_view name, char (&image)[kSidecarImageCapacity],
                 char (&author)[kSidecarAuthorCapacity]);

// An episode title from a file name: the extension, known video-site tags,
// one trailing bracket tag and the surrounding blanks and dashes removed.
// May be empty; throws std::bad_alloc when memory runs out.
std::string clean_title(const char *name);

// The channel title for a folder: playlist_name when it is given (non-NULL),
// otherwise the folder's last component with '-' and '_' as blanks and each
// word's first letter in upper case. Written into title, cut to its capacity.
void folder_title(const char *local_folder, const char *playlist_name,
                  char (&title)[kChannelTitleCapacity]);

// The path under which a local folder is published: below "/data/dist/"
// when the folder lies there, else the whole folder text; no leading or
// trailing '/'.
std::string distribution_path(std::string_view folder);

// The public base URL of a scan without base_url: the default origin and the
// distribution path with each '/'-separated segment percent-encoded.
// Throws std::bad_alloc when memory runs out.
std::string default_base_url(std::string_view dist_path);

// What a scan takes from one media file's sidecar (sidecar_load); empty texts
// when there is none. A scan reads each sidecar once and uses it twice: for
// the channel artwork and for the episode.
struct SidecarFacts {
    bool loaded = false;
    std::string image;
    std::string author;
};

// Fills the empty record ep from the file called name in folder: path,
// cleaned title, size and date from the file status, MIME type from the
// extension, probed duration, codec and bitrate, and image and author from
// its sidecar facts. Fields whose source fails stay zero; nothing is reported.
void ep_fill_from_file(const Folder &folder, const char *name, const SidecarFacts &sidecar, pf_episode &ep);

}  // namespace pf
