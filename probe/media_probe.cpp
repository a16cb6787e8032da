// The probe entry: picks a reader by extension and writes its one JSON result.
#include <cstdint>
#include <cstring>
#include <limits>
#include <new>
#include <optional>
#include <string>
#include <string_view>

#include "core/error.h"
#include "core/json.h"
#include "core/platform.h"
#include "core/text.h"
#include "probe/media_types.h"
#include "probe/probe.h"
#include "probe/readers.h"
#include "probe/source.h"
#include "quorvane_podcastfeed.h"

namespace pf {

// Large enough that an error text carrying an escaped extension label (a
// whole file name of control bytes) is never cut into invalid JSON.
constexpr std::size_t kProbeCapacity = 2048;
char s_probe[kProbeCapacity];

namespace {

struct FailureText {
    ProbeFailure kind;
    const char *result;      // the "error" member, plain JSON-safe text
    const char *last_error;  // after "media_probe(path): "
};

constexpr FailureText kFailures[] = {
    {ProbeFailure::open_failed, "open failed", "cannot open"},
    {ProbeFailure::no_movie_header, "no mvhd/moov found (not an ISO media file?)", "no mvhd/moov"},
    {ProbeFailure::no_mp3_frames, "no valid MP3 frames", "no valid MP3 frames"},
    {ProbeFailure::not_wav, "not a RIFF/WAVE file", "not a WAV"},
    {ProbeFailure::wav_no_fmt, "WAV: missing fmt chunk", "WAV fmt missing"},
};

// The extension as reported to the user: from the last dot of the last path
// component, dot included.
std::string_view extension_label(const char *path) {
    const std::string_view name = base_name(path);
    const std::size_t dot = name.rfind('.');
    return dot == std::string_view::npos ? std::string_view("(none)") : name.substr(dot);
}

// The result object as the writer makes it; memory running out is thrown, for
// the entry to report with the one object that needs none.
template <typename Write>
void write_result(Write &&write) {
    if (!write_json_result(s_probe, "", write)) throw std::bad_alloc();
}

// An error object; the size is left out when the path named no file at all.
void write_error(std::string_view error, std::optional<std::int64_t> size) {
    write_result([&](JsonWriter &writer) {
        return writer.StartObject() && writer.Key("error") && json_repaired_string(writer, error) &&
               (!size || (writer.Key("size") && writer.Int64(*size))) && writer.EndObject();
    });
}

void report_failure(const char *path, ProbeFailure kind, std::int64_t size) {
    for (const FailureText &t : kFailures) {
        if (t.kind != kind) continue;
        write_error(t.result, size);
        set_err("media_probe(%s): %s", path, t.last_error);
        return;
    }
}

ProbeFailure run_reader(const MediaType &type, ByteSource &source, pf_probe_info *info) {
    switch (type.reader) {
        case Reader::iso: return probe_iso(source, info);
        case Reader::mp3: return probe_mp3(source, info);
        case Reader::wav: return probe_wav(source, info);
    }
    return ProbeFailure::open_failed;
}

// The facts are settled before the text is written, so they stand even when
// writing it runs out of memory.
void report_success(pf_probe_info info, std::int64_t size, const char *mime, pf_media_facts &facts) {
    if (info.duration_s < 0)
        info.duration_s = 0;
    else if (size > 0 && info.derive_bitrate && info.duration_s != 0)
        info.bitrate_kbps = bitrate_from_size(size, info.duration_s);
    facts = {true, info.duration_s, size, mime, info.codec, info.bitrate_kbps};
    write_result([&](JsonWriter &writer) {
        return writer.StartObject() && writer.Key("duration_s") && writer.Int64(facts.duration_s) &&
               writer.Key("size") && writer.Int64(facts.size) && writer.Key("mime") && writer.String(facts.mime) &&
               writer.Key("bitrate_kbps") && writer.Int(facts.bitrate_kbps) && writer.Key("codec") &&
               json_repaired_string(writer, facts.codec) && writer.EndObject();
    });
    clear_err();
}

void probe_opened(const char *path, const MediaType &type, ByteSource &source, pf_media_facts &facts) {
    s_probe[0] = '\0';
    pf_probe_info info;
    const ProbeFailure failure = run_reader(type, source, &info);
    if (failure != ProbeFailure::none)
        report_failure(path, failure, source.length());
    else
        report_success(info, source.length(), type.mime, facts);
}

void report_out_of_memory() {
    copy_cut(s_probe, "{\"error\":\"out of memory\"}");
    set_err("out of memory");
}

// Writing the result can only throw when memory runs out; the caller still
// gets an error object, never an exception.
template <typename Step>
void guarded(Step &&step) {
    try {
        step();
    } catch (...) {
        report_out_of_memory();
    }
}

void probe_into_buffer(const char *path, const FileStatus *known, const ReadHandle *opened, pf_media_facts &facts) {
    s_probe[0] = '\0';
    if (path == nullptr || path[0] == '\0') {
        write_error("null path", std::nullopt);
        set_err("media_probe: NULL or empty path");
        return;
    }
    const MediaType *type = media_type_of(path);
    // Only a regular file opens, and only one the probe has a reader for. The
    // file is opened once, before its status is needed, so that the open
    // file gives the status; it is closed before the probe returns, whatever
    // the reader found.
    ReadHandle own;
    if (!opened && type) own = open_for_read(path);
    const ReadHandle &file = opened ? *opened : own;
    FileStatus st;
    if (known) {
        st = *known;
    } else if (file) {
        st = file.status();
    } else if (file_status(path, &st) != 0) {
        const char *reason = std::strerror(os_errno());
        write_error(std::string("stat failed: ") + reason, 0);
        set_err("media_probe(%s): %s", path, reason);
        return;
    }
    if (type == nullptr) {
        write_error(std::string("unsupported extension ").append(extension_label(path)), st.size);
        set_err("media_probe(%s): unsupported extension", path);
        return;
    }
    if (!file) {
        report_failure(path, ProbeFailure::open_failed, st.size);
        return;
    }
    // The size from the status is the file's one length: the readers measure
    // by it and the result reports it.
    FileSource source(file, st.size);
    probe_opened(path, *type, source, facts);
}

}  // namespace

const char *probe_source(const char *path, const MediaType &type, ByteSource &source) {
    pf_media_facts facts;
    guarded([&] { probe_opened(path, type, source, facts); });
    return s_probe;
}

pf_media_facts probe_media(const char *path, const FileStatus *status, const ReadHandle *file) {
    pf_media_facts facts;
    guarded([&] { probe_into_buffer(path, status, file, facts); });
    return facts;
}

const MediaType *media_type_of(const char *name) {
    const std::string_view n = view_of(name);
    for (const MediaType &t : PF_MEDIA_TYPES) {
        const std::size_t len = std::strlen(t.ext);
        if (n.size() >= len && compare_nocase(name + n.size() - len, t.ext) == 0) return &t;
    }
    return nullptr;
}

const MediaType *scanned_type_of(const char *name) {
    const MediaType *type = media_type_of(name);
    return type && type->scanned ? type : nullptr;
}

int is_media_name(const char *name) { return scanned_type_of(name) ? 1 : 0; }

bool is_video_name(const char *name) {
    const MediaType *type = media_type_of(name);
    return type && type->video;
}

std::int32_t bitrate_from_size(std::int64_t size, std::int64_t duration_s) {
    if (size <= 0 || duration_s <= 0) return 0;
    const auto s = static_cast<std::uint64_t>(size);
    const auto d = static_cast<std::uint64_t>(duration_s);
    const std::uint64_t q = s / d;
    std::uint64_t r = s % d;
    // size x 8 can exceed 64 bits, so the three extra quotient bits come from
    // long division of the remainder; r < d <= 2^63 keeps r << 1 in range.
    std::uint64_t low_bits = 0;
    for (int i = 0; i < 3; ++i) {
        r <<= 1;
        low_bits <<= 1;
        if (r >= d) {
            r -= d;
            low_bits |= 1;
        }
    }
    constexpr auto kMax = static_cast<std::uint64_t>(std::numeric_limits<std::int32_t>::max());
    if (q > kMax * 1000 / 8 + 1) return std::numeric_limits<std::int32_t>::max();
    const std::uint64_t kbps = (q * 8 + low_bits) / 1000;
    return kbps > kMax ? std::numeric_limits<std::int32_t>::max() : static_cast<std::int32_t>(kbps);
}

}  // namespace pf

extern "C" PF_API const char *media_probe(const char *path) {
    pf::probe_media(path);
    return pf::s_probe;
}
