// SG: moving plates along a motion file.
#pragma once

#include "interface/run_data.h"

namespace ils {

// Reads the motion file named by pathText (the SG line from column 8),
// builds the moving-scatterer table and plateMotionCentre. 0 or -1.
int readMovingScatterers(RunData& rd, const char* pathText);

// Adds the field of a plate that moves with the moving-scatterer table. 0, or
// -1 after a scratch-file failure.
int computeMovingPlate(RunData& rd, const Scatterer& plate, int plateSerial);

}  // namespace ils
