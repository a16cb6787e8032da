// Everything the library knows about a media file type, in one row: who reads
// it, what it is called, and what a folder scan makes of it.
#pragma once

namespace pf {

enum class Reader { iso, mp3, wav };

struct MediaType {
    const char *ext;   // with its dot; compared without regard to letter case
    Reader reader;
    const char *mime;  // what the probe reports and a scanned episode carries
    bool video;        // one file of it, scanned or added, makes the whole feed a video feed
    bool scanned;      // a folder scan turns such a file into an episode
};

// Tried in this order. ".m4v" is deliberately the audio type of ".m4a", and
// ".mov" is probed but neither scanned nor counted as video.
inline constexpr MediaType PF_MEDIA_TYPES[] = {
    {".m4a", Reader::iso, "audio/x-m4a", false, true},
    {".mp4", Reader::iso, "video/mp4", true, true},
    {".mov", Reader::iso, "video/quicktime", false, false},
    {".m4v", Reader::iso, "audio/x-m4a", false, false},
    {".mp3", Reader::mp3, "audio/mpeg", false, true},
    {".wav", Reader::wav, "audio/wav", false, false},
    {".wave", Reader::wav, "audio/wav", false, false},
};

// The type whose extension ends name, letters in any case, or nullptr (also
// for NULL).
const MediaType *media_type_of(const char *name);

// The type of name when a folder scan admits it, or nullptr.
const MediaType *scanned_type_of(const char *name);

// 1 when a folder scan admits name (any case), else 0.
int is_media_name(const char *name);

// True when name is of a type that makes a feed a video feed.
bool is_video_name(const char *name);

}  // namespace pf
