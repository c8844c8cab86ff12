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

// Current factor of an infinite thin wire of radius a (feet) lit at an
// angle beta to its axis: j / (pi sin^2(beta) H0(1)(k a sin beta)), with
// sin^2(beta) already floored by the caller. 0 for a radius of 0.
Complex wireCurrentFactor(double k, double radius, double sin2Beta);

// The two free current waves that short-wire ends launch, radiated by one
// segment of length delta at distances d1, d2 from ends 1 and 2 towards a
// direction of scattering cosine mu (along the wire from end 1 to end 2):
// the field of the segment is end[0] * I1 + end[1] * I2 for end currents
// I1, I2 (the end currents already carry the sign that cancels the forced
// current). end[0] = -delta exp(j k d1) sinc(h (1 - mu)),
// end[1] = -delta exp(j k d2) sinc(h (1 + mu)), h = k delta / 2.
struct EndWaves {
    Complex end[2];
};
EndWaves wireEndWaves(double k, double delta, double d1, double d2, double mu);

}  // namespace ils
