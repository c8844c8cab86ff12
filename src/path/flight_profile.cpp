#include "path/flight_profile.h"

#include "interface/unavailable.h"

namespace ils {

int readFlightProfile(RunData& rd) { return commandNotAvailable(rd, "FP"); }

}  // namespace ils
