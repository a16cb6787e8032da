// The media readers on any bytes: the fuzzer's input becomes a file whose
// extension (PF_FUZZ_EXTENSION) picks the reader, then the probe runs on it.
#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz_support.h"
#include "quorvane_podcastfeed.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    static const std::string path = pf_fuzz::scratch_path("input" PF_FUZZ_EXTENSION);
    pf_fuzz::write_bytes(path, data, size);
    pf_fuzz::require_json(media_probe(path.c_str()), false);
    return 0;
}
