#include "scatter/moving_plate.h"

#include "interface/unavailable.h"

namespace ils {

int readMovingScatterers(RunData& rd, const char*) { return commandNotAvailable(rd, "SG"); }

int computeMovingPlate(RunData& rd, const Scatterer&, int) {
    return commandNotAvailable(rd, "SP");
}

}  // namespace ils
