// This build has no QR code library.
#include "../command.h"
#include "../qr/qr.h"

namespace podcastfeed {

bool qr_available() { return false; }

std::string qr_terminal(const std::string &) { job_failed("QR codes are not part of this build"); }

void qr_png(const std::string &, const std::string &) { job_failed("QR codes are not part of this build"); }

}  // namespace podcastfeed
