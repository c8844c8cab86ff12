// Thin-wire scattering.
#pragma once

#include "interface/run_data.h"

namespace ils {

// Adds the wire's reradiated field to every FieldRecord. 0 on success,
// 1 after the resonance error, -1 after another failure (message written).
int computeWire(RunData& rd, const Scatterer& wire, int wireSerial);

}  // namespace ils
