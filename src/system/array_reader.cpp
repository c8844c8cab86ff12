#include "system/array_reader.h"

#include "interface/unavailable.h"

namespace ils {

int readArray(RunData& rd, const char* command, int) { return commandNotAvailable(rd, command); }

}  // namespace ils
