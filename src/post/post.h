// Post-processing: the driver behind the ILSPost export.
#pragma once

#include <cstdint>

namespace ils {

// Runs post-processing on a directory; result codes as ILSPost.
int32_t runPost(const char* directory);

}  // namespace ils
