// The calculation driver: the body of the worker thread.
#pragma once

#include "interface/run_data.h"

namespace ils {

// Reads and executes the command file of the run prepared in rd, then
// releases the run stores, closes the files and sets the final RunState.
void runCalculation(RunData& rd);

}  // namespace ils
