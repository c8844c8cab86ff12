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

// End-term factor T of a short wire for the scattering cosine mu, with
// h = k * segmentLength / 2 and kL = k * length. Along the wire's own axis
// (mu = +-1) the value is the finite limit of the expression.
Complex wireEndFactor(double h, double kL, double k, double mu);

// What one array's pass over a wire shares: the wave numbers, the wire's
// direction, the array centroid (the source) and a short wire's end fields.
struct WireArrayFrame {
    int j = 0;
    double k = 0, kL = 0, h = 0;   // k, k L, k * segmentLength / 2
    double delta = 0;              // segment length, feet
    bool longWire = false;
    double sinPsi = 0, cosPsi = 0, sinAlpha = 0, cosAlpha = 0;
    double sign = 1.0;             // -1 for contributionCode 1
    double source[3] = {};         // array centroid O, feet
    Complex endCsb[2], endSbo[2];  // short wire: end fields times sin(psi) g_e
};
WireArrayFrame wireArrayFrame(const Station& st, const Scatterer& wire, const WirePlan& plan, int j);

// Everything of segment s that does not depend on the observer.
struct WireSegment {
    double m[3] = {};              // midpoint M, feet
    double muI = 0;                // incidence cosine
    Complex csbDirect, csbImage, sboDirect, sboImage;  // incident fields along the wire
    Complex current;               // j / (pi H(k a cos(theta_i) s_i)), 0 where H is infinite
    double imageShift = 0;         // 2 Oz cos(psi) / rho_i
};
WireSegment wireSegment(const Station& st, const Scatterer& wire, const WireArrayFrame& f,
                        double segments, int32_t s);

// The wire kernel: for each point P (velocity V) and each segment in order,
// with (dx, dy, dz) = P - M, rho_s = max(1e-10, |(dx, dy)|), R_s, the
// scattering cosine mu_s:
//   S1 = delta sinc(h (mu_i - mu_s)), S2 = delta sinc(h (mu_i - mu_s + shift))
//   sums = S1 direct + S2 image (+ short-wire end terms with T(mu_s))
//   G = current * sin(psi) s_s exp(j k R_s) / R_s * 2j sin(x) exp(-jx), x = k z_M sin(theta_s)
//   scattered = sign * sums * G, accumulated with the Doppler factors of (O, M, P, V).
// Fields relative to the feed currents, lengths in feet.
void addWireSegments(const Station& st, const WireArrayFrame& f, std::span<const WireSegment> segments,
                     std::span<const ObservationPoint> points, std::span<FieldRecord> records);

}  // namespace ils
