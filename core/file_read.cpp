// Lengths and whole reads of files, written once for every system: they need
// nothing but the streams the platform layer opens.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <string>

#include "core/platform.h"

namespace pf {

namespace {

// Large reads go in slices so no single call depends on the runtime
// accepting a count beyond 32 bits.
constexpr std::size_t kReadSlice = std::size_t{1} << 30;

std::size_t read_up_to(std::FILE *f, char *buf, std::size_t n) {
    std::size_t got = 0;
    while (got < n) {
        const std::size_t step = std::fread(buf + got, 1, std::min(n - got, kReadSlice), f);
        if (step == 0) break;
        got += step;
    }
    return got;
}

}  // namespace

std::int64_t stream_length(std::FILE *f) {
    if (seek64(f, 0, SEEK_END) != 0) return -1;
    const std::int64_t length = tell64(f);
    if (seek64(f, 0, SEEK_SET) != 0) return -1;
    return length;
}

int read_small_file(const char *path, std::int64_t max_bytes, std::string *out) {
    File f = open_for_read(path);
    if (!f) return -1;
    const std::int64_t length = stream_length(f.get());
    if (length < 0) return -3;
    if (length > max_bytes) return -2;
    std::string text(static_cast<std::size_t>(length), '\0');
    text.resize(read_up_to(f.get(), text.data(), text.size()));
    // The file may have grown since it was measured: the limit holds for what
    // is read, not only for what was measured.
    if (text.size() == static_cast<std::size_t>(length)) {
        char chunk[8192];
        while (const std::size_t got = std::fread(chunk, 1, sizeof chunk, f.get())) {
            if (static_cast<std::int64_t>(text.size() + got) > max_bytes) return -2;
            text.append(chunk, got);
        }
    }
    if (std::ferror(f.get())) return -3;
    *out = std::move(text);
    return 0;
}

}  // namespace pf
