#include "scatter/plate.h"

#include "interface/unavailable.h"

namespace ils {

int computePlate(RunData& rd, const Scatterer&, int) { return commandNotAvailable(rd, "SP"); }

}  // namespace ils
