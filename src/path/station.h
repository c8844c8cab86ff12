// The read-only view of the transmitting station that every field kernel
// takes: the system constants and both antenna arrays with their patterns.
// Kernels read nothing else of the run.
#pragma once

#include "interface/run_data.h"

namespace ils {

struct Station {
    const SystemDefinition& system;
    const AntennaArray* arrays;  // [0] course, [1] clearance
    double farFieldDistance;     // feet

    // The station of a run (implicit: the run data is where a station lives).
    Station(const RunData& rd)  // NOLINT(google-explicit-constructor)
        : system(rd.system), arrays(rd.arrays), farFieldDistance(rd.farFieldDistance) {}

    // Arrays that radiate: the clearance array only in a two-frequency system.
    int arrayCount() const { return system.captureEffect == 1 ? 2 : 1; }
};

}  // namespace ils
