// SY: station type, frequency type, far-field and ground options, wavelengths.
#pragma once

#include "interface/run_data.h"

namespace ils {

// Reads the two lines after the SY command line. 0 on success; non-zero
// (-1, 1 or 2) after writing its message.
int readSystem(RunData& rd);

}  // namespace ils
