// QR codes from libqrencode, drawn with half blocks or written as a PNG by libpng.
#include "qr.h"

#include <cerrno>
#include <memory>
#include <vector>

#include <png.h>
#include <qrencode.h>

#include "../command.h"
#include "../output.h"

namespace podcastfeed {
namespace {

// Readers need four light modules around the code to find it.
constexpr int kQuietZone = 4;

// Pixels a module takes in the PNG: big enough to print or show on a screen
// without scaling, small enough for a file of a few kilobytes.
constexpr int kPngModulePixels = 8;

// The code's modules with the quiet zone around them.
class Modules {
public:
    explicit Modules(const std::string &text) {
        errno = 0;
        const std::unique_ptr<QRcode, decltype(&QRcode_free)> code(
            QRcode_encodeString(text.c_str(), 0, QR_ECLEVEL_M, QR_MODE_8, 1), &QRcode_free);
        if (!code) {
            if (errno == ERANGE) job_failed("too long for a QR code: " + text);
            job_failed("cannot make a QR code of " + text + (errno ? ": " + system_reason(errno) : ""));
        }
        width_ = code->width;
        size_ = width_ + 2 * kQuietZone;
        data_.assign(code->data, code->data + static_cast<std::size_t>(width_) * static_cast<std::size_t>(width_));
    }

    int size() const { return size_; }

    // Outside the code proper every module is light, so rows and columns
    // past the edge are simply quiet zone.
    bool dark(int x, int y) const {
        x -= kQuietZone;
        y -= kQuietZone;
        if (x < 0 || y < 0 || x >= width_ || y >= width_) return false;
        // The low bit of each byte is the module's colour; the others say what the module is for.
        return data_[static_cast<std::size_t>(y) * static_cast<std::size_t>(width_) + static_cast<std::size_t>(x)] & 1;
    }

private:
    int width_ = 0;
    int size_ = 0;
    std::vector<unsigned char> data_;
};

}  // namespace

bool qr_available() { return true; }

std::string qr_terminal(const std::string &text) {
    const Modules m(text);
    // Light modules are drawn in the text's colour and dark ones left blank,
    // which reads right on the usual light-on-dark terminal. Index: the upper
    // module is light (2), the lower module is light (1).
    static constexpr const char *kCells[4] = {" ", "\u2584", "\u2580", "\u2588"};
    std::string out;
    for (int y = 0; y < m.size(); y += 2) {
        for (int x = 0; x < m.size(); ++x) out += kCells[(m.dark(x, y) ? 0 : 2) + (m.dark(x, y + 1) ? 0 : 1)];
        out += '\n';
    }
    return out;
}

void qr_png(const std::string &text, const std::string &path) {
    const Modules m(text);
    const int side = m.size() * kPngModulePixels;
    std::vector<unsigned char> pixels(static_cast<std::size_t>(side) * static_cast<std::size_t>(side));
    for (int y = 0; y < side; ++y)
        for (int x = 0; x < side; ++x)
            pixels[static_cast<std::size_t>(y) * static_cast<std::size_t>(side) + static_cast<std::size_t>(x)] =
                m.dark(x / kPngModulePixels, y / kPngModulePixels) ? 0 : 255;

    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    image.width = static_cast<png_uint_32>(side);
    image.height = static_cast<png_uint_32>(side);
    image.format = PNG_FORMAT_GRAY;
    png_alloc_size_t size = 0;
    // Asked once for the size, once to write: libpng's own way to fill a buffer it cannot grow.
    if (!png_image_write_to_memory(&image, nullptr, &size, 0, pixels.data(), 0, nullptr))
        job_failed("cannot make the PNG of the QR code: " + std::string(image.message));
    std::string bytes(size, '\0');
    if (!png_image_write_to_memory(&image, bytes.data(), &size, 0, pixels.data(), 0, nullptr))
        job_failed("cannot make the PNG of the QR code: " + std::string(image.message));
    bytes.resize(size);
    write_text(path, bytes);
}

}  // namespace podcastfeed
