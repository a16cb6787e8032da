// Streams for readers that jump about a file, on Windows: the runtime's own
// streams serve, the position being kept by the system as for any stream.
#include "core/platform.h"

namespace pf {

File open_for_random_read(const char *path) { return open_for_read(path); }

}  // namespace pf
