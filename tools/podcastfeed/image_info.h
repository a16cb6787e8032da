// What the image header says: its format and size, read without decoding.
#pragma once

#include <string>

namespace podcastfeed {

struct ImageInfo {
    std::string format;  // "JPEG", "PNG", or "" when it is neither
    int width = 0, height = 0;
};

// False when the file cannot be read.
bool read_image_info(const std::string &path, ImageInfo *out);

}  // namespace podcastfeed
