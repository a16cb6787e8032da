// The scan configuration from any text, over a folder holding one small MP3,
// so a configuration that parses goes on to shape the URLs and the titles
// that the feed then carries.
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>

#include "fuzz_support.h"
#include "quorvane_podcastfeed.h"

namespace {

// A folder with one MPEG-1 Layer III frame (128 kbps, 44.1 kHz, 417 bytes).
std::string make_show_folder() {
    const std::string dir = pf_fuzz::scratch_path("my-show");
    std::filesystem::create_directory(dir);
    std::uint8_t frame[417] = {0xFF, 0xFB, 0x90};
    pf_fuzz::write_bytes(dir + "/Episode One [abc].mp3", frame, sizeof frame);
    return dir;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    static const std::string folder = make_show_folder();
    const std::string config = pf_fuzz::as_text(data, size);
    const int status = feed_episode_scan(folder.c_str(), config.c_str());
    pf_fuzz::require(status == 0 || status == -1, "status outside 0 and -1");
    if (status != 0) return 0;
    pf_fuzz::require(feed_episode_count() == 1, "the scan lost or invented an episode");
    pf_fuzz::require(feed_episode_field(0, "url") != nullptr, "the derived URL was NULL");
    pf_fuzz::require_json(feed_channel_json(), false);
    pf_fuzz::require_well_formed(feed_generate());
    pf_fuzz::require(feed_validate() != -1, "a scanned feed could not be rendered");
    return 0;
}
