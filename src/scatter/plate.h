// Physical-optics scattering of a fixed reflecting plate.
#pragma once

#include "interface/run_data.h"

namespace ils {

// Adds the plate's scattered field to every FieldRecord. 0, or -1 after a
// scratch-file failure.
int computePlate(RunData& rd, const Scatterer& plate, int plateSerial);

}  // namespace ils
