// The probe as the rest of the library runs it: the same result text and
// last error as media_probe, with the facts handed over directly, so that a
// caller never reads them back out of the text.
#pragma once

#include <cstdint>

#include "core/platform.h"

namespace pf {

// What one probe found. found is false when it failed; its result text then
// says why.
struct pf_media_facts {
    bool found = false;
    std::int64_t duration_s = 0;
    std::int64_t size = 0;
    const char *mime = "";   // a constant text
    const char *codec = "";  // a constant text
    std::int32_t bitrate_kbps = 0;
};

// Probes path as media_probe does. status, when given, is the file's status
// taken by the caller a moment ago, which the probe then uses instead of
// taking it again. file, when given, is the caller's own attempt at opening
// path: the probe reads through it when it opened and reports that the file
// cannot be opened when it did not, without a second attempt. Never throws:
// memory running out while writing the result text leaves the out-of-memory
// object there, and the facts stand.
pf_media_facts probe_media(const char *path, const FileStatus *status = nullptr, const ReadHandle *file = nullptr);

}  // namespace pf
