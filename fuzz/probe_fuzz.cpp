// The media readers on any bytes: the fuzzer's input is probed in memory as
// a file whose extension (PF_FUZZ_EXTENSION) picks the reader, through the
// same steps media_probe takes once it has opened a file.
#include <cstddef>
#include <cstdint>

#include "fuzz_support.h"
#include "probe/media_types.h"
#include "probe/readers.h"
#include "probe/source.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    static constexpr const char *kName = "input" PF_FUZZ_EXTENSION;
    static const pf::MediaType *const type = pf::media_type_of(kName);
    pf_fuzz::require(type != nullptr, "the fuzz target's extension picks no reader");
    pf::MemorySource source(data, size);
    pf_fuzz::require_json(pf::probe_source(kName, *type, source), false);
    return 0;
}
