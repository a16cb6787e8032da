// Internal side of the media probe, for the folder scan.
#pragma once

namespace pf {

// 1 for a name of at least four bytes ending in .m4a, .mp3 or .mp4 (any case).
int is_media_name(const char *name);

}  // namespace pf
