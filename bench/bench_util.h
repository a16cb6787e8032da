// What every benchmark program shares: timing on a shared machine, the
// physical floors the library is measured against, and the one-line rows the
// suite (bench/suite.py) gathers into its table.
#pragma once

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace bench {

using Clock = std::chrono::steady_clock;

inline double ms_of(const std::function<void()> &work) {
    const auto start = Clock::now();
    work();
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// The best of several rounds: the machine is shared, and the minimum is the
// time the work itself takes.
inline double best_ms(int rounds, const std::function<void()> &work) {
    double best = 1e300;
    for (int round = 0; round < rounds; ++round) best = std::min(best, ms_of(work));
    return best;
}

inline double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

// Medians of rounds that take every work in turn, so that whatever else the
// shared machine does weighs on all of them alike.
inline std::vector<double> medians_ms(int rounds, const std::vector<std::function<void()>> &works) {
    std::vector<std::vector<double>> times(works.size());
    for (int round = 0; round < rounds; ++round)
        for (std::size_t i = 0; i < works.size(); ++i) times[i].push_back(ms_of(works[i]));
    std::vector<double> result;
    for (const auto &t : times) result.push_back(median(t));
    return result;
}

// The floors of any exact walk over a file, through a mapping: every page
// touched once (stride 4096), which is what the cheapest reader of the whole
// file pays, or one byte every stride bytes, which a walk that looks at each
// frame of that length pays.
inline long touch_pages(const std::string &path, std::size_t stride = 4096) {
    const int fd = ::open(path.c_str(), O_RDONLY);
    if (fd < 0) return -1;
    struct stat st {};
    long sum = 0;
    if (::fstat(fd, &st) == 0 && st.st_size > 0) {
        const auto size = static_cast<std::size_t>(st.st_size);
        void *map = ::mmap(nullptr, size, PROT_READ, MAP_PRIVATE, fd, 0);
        if (map != MAP_FAILED) {
            const auto *bytes = static_cast<const volatile unsigned char *>(map);
            for (std::size_t at = 0; at < size; at += stride) sum += bytes[at];
            ::munmap(map, size);
        }
    }
    ::close(fd);
    return sum;
}

// The other floor: every byte copied once out of the page cache by a plain
// read loop into a page-aligned buffer.
inline long read_whole(const std::string &path) {
    alignas(4096) static char buf[128 * 1024];
    const int fd = ::open(path.c_str(), O_RDONLY);
    if (fd < 0) return -1;
    long total = 0;
    for (ssize_t got; (got = ::read(fd, buf, sizeof buf)) > 0;) total += got;
    ::close(fd);
    return total;
}

// The floor of any text writer: the document's lines written one snprintf
// each into a buffer allocated beforehand. out must have room for it all.
inline void write_lines(std::string_view document, std::vector<char> &out) {
    char *pos = out.data();
    std::size_t room = out.size();
    while (!document.empty()) {
        const std::size_t end = document.find('\n');
        const std::size_t line = end == std::string_view::npos ? document.size() : end;
        const int n = std::snprintf(pos, room, end == std::string_view::npos ? "%.*s" : "%.*s\n",
                                    static_cast<int>(line), document.data());
        if (n < 0 || static_cast<std::size_t>(n) >= room) std::abort();
        pos += n;
        room -= static_cast<std::size_t>(n);
        document.remove_prefix(end == std::string_view::npos ? line : line + 1);
    }
}

// One measurement for the suite's table: section, subject, what was
// measured, milliseconds, and a value (a duration, a byte count) or "-".
inline void row(const char *section, const std::string &subject, const char *what, double ms,
                const std::string &value = "-") {
    std::printf("ROW\t%s\t%s\t%s\t%.4f\t%s\n", section, subject.c_str(), what, ms, value.c_str());
    std::fflush(stdout);
}

}  // namespace bench
