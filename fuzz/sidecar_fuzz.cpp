// Sidecar files with any bytes: the loader the scan uses, the reader a host
// calls, and the writer given the same bytes as new metadata.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "fuzz_support.h"
#include "core/platform.h"
#include "quorvane_podcastfeed.h"
#include "scan/scan.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    static const std::string media = pf_fuzz::scratch_path("episode.mp3");
    static const std::string sidecar = pf_fuzz::scratch_path("episode.json");
    static const std::string written_media = pf_fuzz::scratch_path("written.m4a");
    pf_fuzz::write_bytes(sidecar, data, size);

    static const pf::Folder folder(pf_fuzz::scratch_dir());
    char image[pf::kSidecarImageCapacity] = "unchanged";
    char author[pf::kSidecarAuthorCapacity] = "unchanged";
    if (pf::sidecar_load(folder, "episode.mp3", image, author) != 0)
        pf_fuzz::require(std::strcmp(image, "unchanged") == 0 && std::strcmp(author, "unchanged") == 0,
                         "a refused sidecar changed the episode");
    pf_fuzz::require(std::memchr(image, '\0', sizeof image) && std::memchr(author, '\0', sizeof author),
                     "a sidecar text lost its terminator");
    pf_fuzz::require(feed_sidecar_read(media.c_str()) != nullptr, "the sidecar text was NULL");

    const std::string meta = pf_fuzz::as_text(data, size);
    const int status = feed_sidecar_write(written_media.c_str(), meta.c_str());
    pf_fuzz::require(status == 0 || status == -1, "status outside 0 and -1");
    if (status == 0) pf_fuzz::require_json(feed_sidecar_read(written_media.c_str()), false);
    return 0;
}
