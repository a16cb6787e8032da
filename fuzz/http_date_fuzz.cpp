// The lenient date reader on any text. A date it accepts and that lies in
// the supported range must come back unchanged through the RFC 1123 writer,
// since feed pubDates are written by one and read back by the other.
#include <cstddef>
#include <cstdint>
#include <string>

#include "core/dates.h"
#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    const std::string text = pf_fuzz::as_text(data, size);
    std::int64_t t = 0;
    if (pf::parse_http_date(text.c_str(), &t) != 0 || t < 0) return 0;
    char written[pf::kDateCapacity];
    pf::fmt_rfc1123(t, written);
    if (written[0] == '\0') return 0;
    std::int64_t again = -2;
    pf_fuzz::require(pf::parse_http_date(written, &again) == 0 && again == t,
                     "a written date does not read back as the same time");
    return 0;
}
