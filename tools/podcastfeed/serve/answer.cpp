// Answers: 200, 206, 301, 304, 400, 404, 405 and 416, bodies from the
// snapshot's texts or streamed from the file.
#include "answer.h"

#include <cstring>
#include <functional>
#include <string>
#include <string_view>

#include <unistd.h>

#include "../urls.h"
#include "ranges.h"
#include "served_file.h"
#include "validators.h"

namespace podcastfeed {
namespace {

constexpr const char *kPlainType = "text/plain; charset=utf-8";

struct Request {
    MHD_Connection *c;
    bool head;
    Answered *out;

    const char *header(const char *name) const { return MHD_lookup_connection_value(c, MHD_HEADER_KIND, name); }
};

MHD_Result queue(const Request &r, unsigned status, MHD_Response *response, std::uint64_t bytes) {
    if (!response) return MHD_NO;
    const MHD_Result queued = MHD_queue_response(r.c, status, response);
    MHD_destroy_response(response);
    r.out->status = status;
    r.out->bytes = r.head ? 0 : bytes;
    return queued;
}

// A short fixed text, for the answers that carry no file.
MHD_Result message(const Request &r, unsigned status, const char *text,
                   std::initializer_list<std::pair<const char *, const char *>> headers = {}) {
    MHD_Response *response =
        MHD_create_response_from_buffer(std::strlen(text), const_cast<char *>(text), MHD_RESPMEM_PERSISTENT);
    if (!response) return MHD_NO;
    MHD_add_response_header(response, MHD_HTTP_HEADER_CONTENT_TYPE, kPlainType);
    for (const auto &[name, value] : headers) MHD_add_response_header(response, name, value);
    return queue(r, status, response, std::strlen(text));
}

void add_validators(MHD_Response *response, const Validators &v) {
    MHD_add_response_header(response, MHD_HTTP_HEADER_ETAG, v.etag.c_str());
    MHD_add_response_header(response, MHD_HTTP_HEADER_LAST_MODIFIED, http_date(v.modified).c_str());
}

// A body's bytes first to first + length, as an MHD response.
using BodyPart = std::function<MHD_Response *(std::int64_t first, std::int64_t length)>;

// 304 when the client holds this version, else the range asked for (206 or
// 416) or the whole body (200).
MHD_Result answer_body(const Request &r, std::int64_t size, const Validators &v, const std::string &type,
                       const BodyPart &part) {
    if (not_modified(r.header(MHD_HTTP_HEADER_IF_NONE_MATCH), r.header(MHD_HTTP_HEADER_IF_MODIFIED_SINCE), v)) {
        MHD_Response *response = MHD_create_response_from_buffer(0, nullptr, MHD_RESPMEM_PERSISTENT);
        if (!response) return MHD_NO;
        add_validators(response, v);
        return queue(r, MHD_HTTP_NOT_MODIFIED, response, 0);
    }
    // Ranges are defined for GET alone; a HEAD learns the whole length.
    ByteRange range;
    if (!r.head && if_range_holds(r.header(MHD_HTTP_HEADER_IF_RANGE), v))
        range = byte_range(r.header(MHD_HTTP_HEADER_RANGE), size);
    const std::string total = std::to_string(size);
    if (range.kind == ByteRange::unsatisfiable)
        return message(r, MHD_HTTP_RANGE_NOT_SATISFIABLE, "range not satisfiable\n",
                       {{MHD_HTTP_HEADER_CONTENT_RANGE, ("bytes */" + total).c_str()}});
    const bool partial = range.kind == ByteRange::part;
    const std::int64_t first = partial ? range.first : 0, length = partial ? range.length : size;
    MHD_Response *response = part(first, length);
    if (!response) return MHD_NO;
    MHD_add_response_header(response, MHD_HTTP_HEADER_CONTENT_TYPE, type.c_str());
    MHD_add_response_header(response, MHD_HTTP_HEADER_ACCEPT_RANGES, "bytes");
    add_validators(response, v);
    if (partial)
        MHD_add_response_header(response, MHD_HTTP_HEADER_CONTENT_RANGE,
                                ("bytes " + std::to_string(first) + "-" + std::to_string(first + length - 1) + "/" + total)
                                    .c_str());
    return queue(r, partial ? MHD_HTTP_PARTIAL_CONTENT : MHD_HTTP_OK, response, static_cast<std::uint64_t>(length));
}

void release_snapshot(void *held) { delete static_cast<std::shared_ptr<const Snapshot> *>(held); }

MHD_Result answer_document(const Request &r, const std::shared_ptr<const Snapshot> &s, const Document &d) {
    return answer_body(r, static_cast<std::int64_t>(d.body.size()), d.validators, d.content_type,
                       [&](std::int64_t first, std::int64_t length) {
                           // The response holds the snapshot until sent, however many rescans come meanwhile.
                           auto *held = new std::shared_ptr<const Snapshot>(s);
                           MHD_Response *response = MHD_create_response_from_buffer_with_free_callback_cls(
                               static_cast<std::size_t>(length), const_cast<char *>(d.body.data()) + first, release_snapshot, held);
                           if (!response) delete held;
                           return response;
                       });
}

MHD_Result answer_file(const Request &r, const Snapshot &s, const ServedFile &f) {
    OpenFile file = open_inside(s.folder, f.path);
    // Gone since the scan: a 404, never a body the file no longer has.
    if (!file) return message(r, MHD_HTTP_NOT_FOUND, "not found\n");
    const Validators v{file_etag(file.size(), file.modified_ns()), file.modified_ns() / 1000000000};
    return answer_body(r, file.size(), v, f.content_type, [&](std::int64_t first, std::int64_t length) {
        const int fd = file.release();
        MHD_Response *response =
            MHD_create_response_from_fd_at_offset64(static_cast<std::uint64_t>(length), fd, static_cast<std::uint64_t>(first));
        if (!response) close(fd);
        return response;
    });
}

// The decoded path of the request target; false for one no file can have.
bool request_path(std::string_view target, std::string *path) {
    // The absolute form, which HTTP/1.1 servers must accept as well.
    if (target.starts_with("http://") || target.starts_with("https://")) {
        const std::string only_path = url_path(target);
        return request_path(only_path.empty() ? "/" : only_path, path);
    }
    if (!target.starts_with('/')) return false;
    return percent_decode(target, path) && path->find('\0') == std::string::npos;
}

}  // namespace

MHD_Result answer(MHD_Connection *c, Site &site, const char *url, const char *method, Answered *out) {
    const bool get = std::strcmp(method, MHD_HTTP_METHOD_GET) == 0;
    const Request r{c, std::strcmp(method, MHD_HTTP_METHOD_HEAD) == 0, out};
    if (!get && !r.head)
        return message(r, MHD_HTTP_METHOD_NOT_ALLOWED, "only GET and HEAD\n", {{MHD_HTTP_HEADER_ALLOW, "GET, HEAD"}});
    std::string path;
    if (!request_path(url, &path)) return message(r, MHD_HTTP_BAD_REQUEST, "bad request\n");

    std::shared_ptr<const Snapshot> s = site.current();
    Route to = route(*s, path);
    if (to.kind == Route::feed || to.kind == Route::page) {
        s = site.fresh();
        to = route(*s, path);
    }
    switch (to.kind) {
    case Route::feed: return answer_document(r, s, s->feed);
    case Route::page: return answer_document(r, s, s->page);
    case Route::served: return answer_file(r, *s, *to.file);
    case Route::folder_without_slash:
        return message(r, MHD_HTTP_MOVED_PERMANENTLY, "moved\n", {{MHD_HTTP_HEADER_LOCATION, (std::string(url) + "/").c_str()}});
    case Route::none: break;
    }
    return message(r, MHD_HTTP_NOT_FOUND, "not found\n");
}

}  // namespace podcastfeed
