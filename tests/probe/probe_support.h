// Shared by the probe tests: probe built bytes, in memory or written to a
// file, and read the result back by key.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <string_view>

#include "core/json.h"
#include "probe/media_types.h"
#include "probe/readers.h"
#include "probe/source.h"
#include "quorvane_podcastfeed.h"
#include "support/temp_dir.h"

namespace pf_test {

struct Probed {
    std::string text;  // the result exactly as returned
    long long duration_s = -1;
    long long size = -1;
    long long bitrate_kbps = -1;
    std::string mime, codec, error;
};

inline Probed parse_probe(const char *text) {
    Probed p;
    p.text = text;
    pf::JsonDoc doc;
    EXPECT_TRUE(pf::json_parse(text, &doc) && doc.IsObject()) << "not a JSON object: " << text;
    if (!doc.IsObject()) return p;
    if (auto v = pf::json_int64(doc, "duration_s")) p.duration_s = *v;
    if (auto v = pf::json_int64(doc, "size")) p.size = *v;
    if (auto v = pf::json_int64(doc, "bitrate_kbps")) p.bitrate_kbps = *v;
    if (auto v = pf::json_string(doc, "mime")) p.mime = *v;
    if (auto v = pf::json_string(doc, "codec")) p.codec = *v;
    if (auto v = pf::json_string(doc, "error")) p.error = *v;
    return p;
}

inline Probed probe_path(const std::string &path) { return parse_probe(media_probe(path.c_str())); }

// Probes bytes in memory as the contents of a file called name, whose
// extension picks the reader, as media_probe does once the file is open.
inline Probed probe_memory(const std::string &name, std::string_view bytes) {
    const pf::MediaType *type = pf::media_type_of(name.c_str());
    EXPECT_NE(type, nullptr) << name;
    if (type == nullptr) return Probed{};
    pf::MemorySource source(bytes.data(), bytes.size());
    return parse_probe(pf::probe_source(name.c_str(), *type, source));
}

// Writes bytes as dir/name and probes that file.
inline Probed probe_bytes(const TempDir &dir, std::string_view name, std::string_view bytes) {
    const std::string path = dir.file(name);
    write_file(path, bytes);
    return probe_path(path);
}

}  // namespace pf_test
