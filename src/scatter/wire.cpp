#include "scatter/wire.h"

#include "interface/unavailable.h"

namespace ils {

int computeWire(RunData& rd, const Scatterer&, int) { return commandNotAvailable(rd, "SW"); }

}  // namespace ils
