#include "scatter/scatterer_reader.h"

#include "interface/unavailable.h"

namespace ils {

int readScatterer(RunData& rd, const char* command, Scatterer&) {
    return commandNotAvailable(rd, command);
}

}  // namespace ils
