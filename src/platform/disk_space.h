// Free space of the file system that holds a directory, so that a run can
// refuse work whose files could never be written.
#pragma once

#include <cstdint>

namespace ils::platform {

// Bytes the calling process may still write below directory. False when the
// system cannot tell (bytes is then left as it was).
bool freeDiskBytes(const char* directory, uint64_t& bytes);

}  // namespace ils::platform
