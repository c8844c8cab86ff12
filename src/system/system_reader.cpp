#include "system/system_reader.h"

#include "interface/unavailable.h"

namespace ils {

int readSystem(RunData& rd) { return commandNotAvailable(rd, "SY"); }

}  // namespace ils
