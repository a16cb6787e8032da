// One scanned media file becomes one episode record: its title cleaned from
// the file name, its facts from the file status, the probe and its sidecar.
#include <cstdint>
#include <new>
#include <optional>
#include <string>
#include <string_view>

#include "core/dates.h"
#include "core/platform.h"
#include "core/text.h"
#include "probe/media_types.h"
#include "probe/probe.h"
#include "quorvane_podcastfeed.h"
#include "scan/scan.h"

namespace pf {

const char *const PF_CLEAN_PATTERNS[] = {
    "(Official Music Video)", "(Official Video)", "(Lyric Video)", "(Official Audio)",
    "(Audio)",                "[PIANO COVER]",    "(LIVE)",        nullptr,
};

namespace {

bool is_blank(char c) { return c == ' ' || c == '\t'; }

bool is_ascii_alnum(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9');
}

// Video ids such as "[a1B2c3-D4e5]" are letters, digits and dashes; a bracket
// holding anything else is probably part of the real title.
bool is_tag_byte(char c) { return is_ascii_alnum(c) || c == '-'; }

void drop_trailing_blanks(std::string &s) {
    while (!s.empty() && is_blank(s.back())) s.pop_back();
}

// Every occurrence goes. The search resumes where the removed text was, so
// text that slides into that place is looked at again, text before it is not.
void remove_fragments(std::string &s) {
    for (const char *const *pattern = PF_CLEAN_PATTERNS; *pattern; ++pattern) {
        std::string_view fragment(*pattern);
        for (auto pos = s.find(fragment); pos != std::string::npos; pos = s.find(fragment, pos))
            s.erase(pos, fragment.size());
    }
}

// Only the last bracket tag goes, and never one that starts the text: a
// title made of a tag alone stays a title.
void remove_bracket_tag(std::string &s) {
    drop_trailing_blanks(s);
    if (s.size() < 2 || s.back() != ']') return;
    std::size_t close = s.size() - 1;
    std::size_t open = s.rfind('[', close - 1);
    if (open == std::string::npos || open == 0) return;
    for (std::size_t i = open + 1; i < close; ++i)
        if (!is_tag_byte(s[i])) return;
    s.erase(open);
    while (!s.empty() && s.back() == ' ') s.pop_back();
}

// Leading blanks, then trailing blanks, one run of trailing dashes (the
// "Artist - " left when the song part was a tag) and the blanks before it.
void trim_title(std::string &s) {
    std::size_t start = s.find_first_not_of(" \t");
    if (start == std::string::npos) {
        s.clear();
        return;
    }
    s.erase(0, start);
    drop_trailing_blanks(s);
    while (!s.empty() && s.back() == '-') s.pop_back();
    drop_trailing_blanks(s);
}

// One open gives the episode its size and date and the probe its file and
// length; the status is looked up by name only for a file that did not open
// (a file without read permission still has a size and a date).
std::optional<FileStatus> status_of(const Folder &folder, const char *media_path, const ReadHandle &file) {
    if (file) return file.status();
    FileStatus st;
    if (folder.status(media_path, &st) != 0) return std::nullopt;
    return st;
}

void fill_from_status(const FileStatus &st, pf_episode &ep) {
    ep.size = st.size;
    char date[kDateCapacity];
    fmt_rfc1123(st.mtime, date);
    ep.pubDate.assign(date);
}

// The probe's size and MIME type are not taken: the file status and the
// extension already gave them.
void fill_from_probe(const char *media_path, pf_episode &ep, const std::optional<FileStatus> &status,
                     const ReadHandle &file) {
    const pf_media_facts facts = probe_media(media_path, status ? &*status : nullptr, &file);
    if (!facts.found) return;
    ep.duration_s = facts.duration_s;
    ep.codec.assign(facts.codec);
    ep.bitrate_kbps = facts.bitrate_kbps;
}

}  // namespace

std::string clean_title(const char *name) {
    HeapText stem = strip_ext(name);
    if (!stem) throw std::bad_alloc();
    std::string s(stem.get());
    remove_fragments(s);
    remove_bracket_tag(s);
    trim_title(s);
    return s;
}

void ep_fill_from_file(const Folder &folder, const char *name, const SidecarFacts &sidecar, pf_episode &ep) {
    // The full path, not the cut `file` field, reaches the file system: a
    // cut path would name another file.
    const std::string media_path = folder.path_of(name);
    ep.file.assign(media_path);
    ep.title.assign(clean_title(name));
    const ReadHandle file = folder.open(media_path.c_str());
    const std::optional<FileStatus> status = status_of(folder, media_path.c_str(), file);
    if (status) fill_from_status(*status, ep);
    const MediaType *type = scanned_type_of(name);
    ep.mime.assign(type ? type->mime : "");
    fill_from_probe(media_path.c_str(), ep, status, file);
    ep.image.assign(sidecar.image);
    ep.author.assign(sidecar.author);
}

}  // namespace pf
