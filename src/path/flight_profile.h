// FP: flight profiles that produce the ObservationPoints.
#pragma once

#include "interface/run_data.h"

namespace ils {

// Reads the FP lines, generates the points into a new PointTable, creates a
// zero FieldTable and sets pointCount, meanTimeStep and speedRatio.
// 0 on success, -1 after an input error, 1 when a user profile ends early.
int readFlightProfile(RunData& rd);

}  // namespace ils
