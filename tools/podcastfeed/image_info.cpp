// Image headers through stb_image, limited to the two formats podcast
// directories take, so that anything else reads as neither.
#define STB_IMAGE_IMPLEMENTATION
#define STBI_ONLY_JPEG
#define STBI_ONLY_PNG
#define STBI_NO_LINEAR
#define STBI_NO_HDR
#include "image_info.h"

#include <cstdio>

#include <stb/stb_image.h>

namespace podcastfeed {

bool read_image_info(const std::string &path, ImageInfo *out) {
    std::FILE *f = std::fopen(path.c_str(), "rb");
    if (!f) return false;
    unsigned char magic[4] = {};
    const bool read = std::fread(magic, 1, sizeof magic, f) == sizeof magic;
    std::rewind(f);
    int w = 0, h = 0, components = 0;
    const bool known = read && stbi_info_from_file(f, &w, &h, &components) == 1;
    std::fclose(f);
    *out = {};
    if (!known) return true;
    out->format = magic[0] == 0x89 ? "PNG" : "JPEG";
    out->width = w;
    out->height = h;
    return true;
}

}  // namespace podcastfeed
