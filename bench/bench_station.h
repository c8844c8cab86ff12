// The station the wire and moving-plate benchmarks share: a 12-element
// localizer array 8 ft up at the origin, 7 ft spacing, tapered CSB and
// antisymmetric SBO feeds, pattern D.
#pragma once

#include <cmath>

#include "interface/run_data.h"

inline void setBenchArray(ils::AntennaArray& a, double wavelength) {
    a.elementCount = 12;
    a.wavelength = wavelength;
    a.waveNumber = ils::kTwoPi / wavelength;
    a.pattern.patternType = 'D';
    for (int i = 0; i < 12; ++i) {
        a.elementX[i] = 0.0;
        a.elementY[i] = (i - 5.5) * 7.0;
        a.elementZ[i] = 8.0;
        a.csbCurrent[i] = ils::Complex(1.0 - std::fabs(i - 5.5) / 8.0, 0.0);
        a.sboCurrent[i] = ils::Complex(0.0, i < 6 ? 0.4 : -0.4);
    }
    a.centroidX = 0.0;
    a.centroidY = 0.0;
    a.centroidZ = 8.0;
}
