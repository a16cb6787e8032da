// QR codes that take a phone's camera to a URL: drawn in the terminal with
// Unicode half blocks, or written as a PNG image.
#pragma once

#include <string>

namespace podcastfeed {

// False in a build made without a QR code library; the two below then fail
// the job saying so.
bool qr_available();

// The code as lines of text, two modules a character cell, with the quiet zone.
std::string qr_terminal(const std::string &text);

// Writes the code to path as a PNG image.
void qr_png(const std::string &text, const std::string &path);

}  // namespace podcastfeed
