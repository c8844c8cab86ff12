// Commands whose computations are not part of this build fail the run here.
#pragma once

#include "interface/run_data.h"
#include "input/messages.h"

namespace ils {

inline int commandNotAvailable(RunData& rd, const char* command) {
    logMessage(rd.messageLog, "ERROR! %s command is not available in this build.\n", command);
    return -1;
}

}  // namespace ils
