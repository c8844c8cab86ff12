// The calculation driver: the body of the worker thread.
#pragma once

#include "interface/run_data.h"

namespace ils {

// Reads and executes the command file of the run prepared in rd, then
// releases the run stores, closes the files and sets the final RunState.
void runCalculation(RunData& rd);

// The run's field file, empty and ready for writing, handed over (rd keeps
// none): waits for the thread that empties the previous run's content, and
// where that failed opens the file anew, empty. nullptr when the run has no
// field file left or it cannot be opened.
FILE* takeEmptiedFieldFile(RunData& rd);

}  // namespace ils
