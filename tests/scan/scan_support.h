// Helpers shared by the scan tests: deep folder chains and small media files.
#pragma once

#include <algorithm>
#include <filesystem>
#include <string>

#include "support/media_builders.h"
#include "support/temp_dir.h"

namespace scan_test {

// A chain of real folders inside dir whose path is exactly length bytes long
// (length at least 250 bytes beyond dir's own path); each component stays
// under the systems' 255-byte limit.
inline std::string deep_folder(const pf_test::TempDir &dir, std::size_t length) {
    std::string path = dir.path();
    while (length - path.size() > 250) path += "/" + std::string(200, 'd');
    path += "/" + std::string(length - path.size() - 1, 'e');
    std::filesystem::create_directories(path);
    return path;
}

// An MPEG-1 Layer III file of 128 kbit/s at 44100 Hz lasting just over
// seconds (1152 samples a frame).
inline std::string mp3_of_seconds(int seconds) {
    std::size_t frames = (static_cast<std::size_t>(seconds) * 44100 + 1151) / 1152;
    return pf_test::mpeg_frames(pf_test::MpegFrame{}, frames);
}

}  // namespace scan_test
