// Thin-wire scattering.
#pragma once

#include <cstdint>

#include "interface/run_data.h"

namespace ils {

// Adds the wire's reradiated field to every FieldRecord. 0 on success,
// 1 after the resonance error, -1 after another failure (message written).
int computeWire(RunData& rd, const Scatterer& wire, int wireSerial);

// Subdivision of a wire: long wires (200 feet and more) have no end terms.
struct WirePlan {
    bool longWire = false;
    double targetLength = 0.0;   // sqrt(dmin * course wavelength) / 5, feet
    double segmentCount = 0.0;   // integer part of length / target, plus 1
    double segmentLength = 0.0;  // length / segmentCount, feet
};
WirePlan planWire(const RunData& rd, const Scatterer& wire);

// End-term factor T of a short wire for the scattering cosine mu, with
// h = k * segmentLength / 2 and kL = k * length. Along the wire's own axis
// (mu = +-1) the value is the finite limit of the expression.
Complex wireEndFactor(double h, double kL, double k, double mu);

}  // namespace ils
