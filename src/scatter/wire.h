// Thin-wire scattering.
#pragma once

#include <cstdint>

#include <span>

#include "interface/run_data.h"
#include "path/station.h"

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
WirePlan planWire(const Station& st, const Scatterer& wire);

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

// What one array's passes over a wire share: the wave number, the wire's
// direction, the array centroid O (the source), the pattern axis and a
// short wire's end currents.
struct WireArrayFrame {
    int j = 0;
    double k = 0, h = 0;           // wave number (rad/ft), k * segmentLength / 2
    double length = 0, radius = 0, delta = 0;  // wire length, radius, segment length, feet
    bool longWire = false;
    double sinPsi = 0, cosPsi = 0, sinAlpha = 0, cosAlpha = 0;
    double sign = 1.0;             // -1 for contributionCode 1
    double source[3] = {};         // array centroid O, feet
    double axisX = 1, axisY = 0;   // pattern axis unit vector a
    double sin2Floor = 1;          // min(1, 2 / (k L))
    Complex endCsb[2], endSbo[2];  // short wire: the end currents
};
WireArrayFrame wireArrayFrame(const Station& st, const Scatterer& wire, const WirePlan& plan, int j);

// Everything of segment s that does not depend on the observer.
struct WireSegment {
    double m[3] = {};              // midpoint M, feet
    double d1 = 0, d2 = 0;         // distances of M from ends 1 and 2, feet
    double muI = 0;                // incidence cosine along the wire
    Complex csbDirect, csbImage, sboDirect, sboImage;  // incident fields, -sigma_i sin(psi) s_i E
    Complex current;               // B = j / (pi sin^2 b H0(1)(k a sin b))
    double imageShift = 0;         // 2 Oz cos(psi) / rho_i
    double sinShift = 0, cosShift = 1;  // of h * imageShift, h = k * segment length / 2
    Complex lead[2];               // -delta exp(j k d1), -delta exp(j k d2): the end waves' factors
};
WireSegment wireSegment(const Station& st, const Scatterer& wire, const WireArrayFrame& f,
                        double segments, int32_t s);

// The wire kernel, per observation point P (velocity V) and segment (in
// order), lengths in feet, fields in the array field's units:
//   S1 = D sinc(h (mu_i - mu_s)), S2 = D sinc(h (mu_i - mu_s + 2 Oz cos psi / rho_i)),
//   sum = B (S1 Ed + S2 Ei) + end waves of the end currents (short wires),
//   G = sigma_s sin(psi) s_s exp(j k Rs) / Rs * (1 - (Rs / R's) exp(j k (R's - Rs))),
//   with R's the path from M's ground image to P; field = sign * sum * G,
//   accumulated with the Doppler filter factors of (O, M, P, V).
//   sigma(v) = +1 when v . a >= 0, else -1.
void addWireSegments(const Station& st, const WireArrayFrame& f, std::span<const WireSegment> segments,
                     std::span<const ObservationPoint> points, std::span<FieldRecord> records);

}  // namespace ils
