// Sidecar files: the small JSON object kept beside a media file, written and
// read whole by the host and mined for artwork and author by the scan.
#include <cstdint>
#include <cstring>
#include <new>
#include <optional>
#include <string>
#include <string_view>

#include "core/error.h"
#include "core/feed_state.h"
#include "core/json.h"
#include "core/platform.h"
#include "core/text.h"
#include "quorvane_podcastfeed.h"
#include "scan/scan.h"

namespace pf {

namespace {

// The exported calls and the loader form the sidecar name in working texts of
// these sizes; a name that does not fit is refused rather than cut, since a
// cut name belongs to another file.
constexpr std::size_t kHostSidecarNameCapacity = 3072;
constexpr std::size_t kLoaderSidecarNameCapacity = 2048;

constexpr std::int64_t kReadLimit = kSidecarReadCapacity - 1;  // what feed_sidecar_read hands back
constexpr std::int64_t kLoadLimit = 1024 * 1024;               // what the scan is willing to parse

// The media path with the extension of its last component replaced by
// ".json", so the sidecar always lies in the media file's own folder.
// Throws std::bad_alloc when memory runs out.
std::string sidecar_name_of(const char *media_path) {
    HeapText stem = strip_ext(media_path);
    if (!stem) throw std::bad_alloc();
    std::string name(stem.get());
    name += ".json";
    return name;
}

int sidecar_write(const char *media_path, const char *meta_json) {
    if (!media_path || !*media_path || !meta_json || !*meta_json)
        return fail("feed_sidecar_write: NULL args");
    // Serialised before the file is touched, so a bad document or a lack of
    // memory never costs the old sidecar.
    std::string text;
    if (!json_rewrite(meta_json, &text) || text.empty() || text.front() != '{')
        return fail("feed_sidecar_write: meta_json is not a JSON object");
    std::string name = sidecar_name_of(media_path);
    if (name.size() >= kHostSidecarNameCapacity)
        return fail("feed_sidecar_write: cannot write %s (win err %lu)", name.c_str(),
                    path_too_long_error());
    switch (replace_file(name.c_str(), text)) {
        case ReplaceResult::ok:
            break;
        case ReplaceResult::open_failed:
            return fail("feed_sidecar_write: cannot write %s (win err %lu)", name.c_str(),
                        last_os_error());
        case ReplaceResult::write_failed:
            return fail("feed_sidecar_write: short write");
    }
    clear_err();
    return 0;
}

const char *sidecar_read(char (&out)[kSidecarReadCapacity], const char *media_path) {
    out[0] = '\0';
    if (!media_path || !*media_path) {
        set_err("feed_sidecar_read: NULL path");
        return out;
    }
    // A missing sidecar is no error: the last-error text stays as it was.
    std::string name = sidecar_name_of(media_path);
    if (name.size() >= kHostSidecarNameCapacity) return out;
    std::string text;
    const int read = read_small_file(name.c_str(), kReadLimit, &text);
    if (read == -1) return out;
    if (read == -3) {
        set_err("feed_sidecar_read: read error");
        return out;
    }
    if (read == -2 || text.empty()) {
        set_err("feed_sidecar_read: bad size");
        return out;
    }
    std::memcpy(out, text.data(), text.size());
    out[text.size()] = '\0';
    clear_err();
    return out;
}

}  // namespace

int sidecar_load(const Folder &folder, std::string_view name, char (&image)[kSidecarImageCapacity],
                 char (&author)[kSidecarAuthorCapacity]) {
    const std::string sidecar = sidecar_name_of(folder.path_of(name).c_str());
    if (sidecar.size() >= kLoaderSidecarNameCapacity) return -1;
    std::string text;
    if (read_small_file(folder.open(sidecar.c_str()), kLoadLimit, &text) != 0 || text.empty()) return -1;
    // The parser stops at a NUL byte, so one inside the file would hide
    // whatever follows it from the strictness check.
    if (text.find('\0') != std::string::npos) return -1;
    JsonDoc doc;
    if (!json_parse(text.c_str(), &doc) || !doc.IsObject()) return -1;
    take_text_member(doc, "thumbnail", image);
    take_text_member(doc, "author", author);
    return 0;
}

}  // namespace pf

extern "C" PF_API int feed_sidecar_write(const char *media_path, const char *meta_json) {
    try {
        return pf::sidecar_write(media_path, meta_json);
    } catch (const std::bad_alloc &) {
        return pf::fail("feed_sidecar_write: out of memory");
    }
}

extern "C" PF_API const char *feed_sidecar_read(const char *media_path) {
    try {
        return pf::sidecar_read(pf::s_feed.out.sidecar_text, media_path);
    } catch (const std::bad_alloc &) {
        // Nothing reaches the result before the whole file is in memory; a
        // sidecar that may well exist must not read as missing.
        pf::set_err("feed_sidecar_read: out of memory");
        return pf::s_feed.out.sidecar_text;
    }
}
