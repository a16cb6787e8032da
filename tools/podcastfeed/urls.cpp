// Public URLs of a folder's files.
#include "urls.h"

#include <algorithm>
#include <cctype>

namespace podcastfeed {

std::string percent_encode(std::string_view segment) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(segment.size());
    for (const char ch : segment) {
        const unsigned char c = static_cast<unsigned char>(ch);
        if (std::isalnum(c) || c == '-' || c == '.' || c == '_' || c == '~') {
            out += ch;
        } else {
            out += '%';
            out += kHex[c >> 4];
            out += kHex[c & 15];
        }
    }
    return out;
}

bool percent_decode(std::string_view in, std::string *out) {
    out->clear();
    for (std::size_t i = 0; i < in.size(); ++i) {
        if (in[i] != '%') {
            *out += in[i];
            continue;
        }
        if (i + 2 >= in.size() || !std::isxdigit(static_cast<unsigned char>(in[i + 1])) ||
            !std::isxdigit(static_cast<unsigned char>(in[i + 2])))
            return false;
        *out += static_cast<char>(std::stoi(std::string(in.substr(i + 1, 2)), nullptr, 16));
        i += 2;
    }
    return true;
}

std::vector<std::string> path_segments(std::string_view path, std::string_view separators) {
    std::vector<std::string> out;
    std::size_t start = 0;
    for (std::size_t i = 0; i <= path.size(); ++i) {
        if (i < path.size() && separators.find(path[i]) == std::string_view::npos) continue;
        if (i > start) out.emplace_back(path.substr(start, i - start));
        start = i + 1;
    }
    return out;
}

std::string url_under(std::string_view base, const std::vector<std::string> &segments) {
    std::string url(base);
    for (const auto &s : segments) {
        url += '/';
        url += percent_encode(s);
    }
    return url;
}

namespace {

// Where the authority of a URL starts and ends, or npos when it has none.
std::pair<std::size_t, std::size_t> authority(std::string_view url) {
    const std::size_t scheme_end = url.find("://");
    if (scheme_end == std::string_view::npos) return {std::string_view::npos, std::string_view::npos};
    const std::size_t start = scheme_end + 3;
    return {start, std::min(url.find_first_of("/?#", start), url.size())};
}

std::string lower(std::string_view s) {
    std::string out(s);
    std::transform(out.begin(), out.end(), out.begin(), [](unsigned char c) { return std::tolower(c); });
    return out;
}

}  // namespace

std::string url_path(std::string_view url) {
    const auto [start, end] = authority(url);
    if (start == std::string_view::npos) return "";
    const std::size_t stop = std::min(url.find_first_of("?#", end), url.size());
    return std::string(url.substr(end, stop - end));
}

std::string url_scheme(std::string_view url) {
    const std::size_t at = url.find("://");
    return at == std::string_view::npos ? "" : lower(url.substr(0, at));
}

std::string url_host(std::string_view url) {
    const auto [start, end] = authority(url);
    if (start == std::string_view::npos) return "";
    std::string_view host = url.substr(start, end - start);
    if (const auto at = host.rfind('@'); at != std::string_view::npos) host.remove_prefix(at + 1);
    if (host.starts_with('[')) return lower(host.substr(1, host.find(']') - 1));
    return lower(host.substr(0, host.find(':')));
}

}  // namespace podcastfeed
