// SP and SW: reading one plate or wire into the Scatterer record.
#pragma once

#include "interface/run_data.h"

namespace ils {

// Reads the two lines after an SP or SW command line into record.
// 0 on success (also for contributionCode 2), -1 after an input error.
int readScatterer(RunData& rd, const char* command, Scatterer& record);

}  // namespace ils
