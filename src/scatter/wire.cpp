#include "scatter/wire.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>

#include "input/messages.h"
#include "path/direct_field.h"
#include "path/run_tables.h"
#include "scatter/hankel.h"
#include "scatter/numerics.h"

namespace ils {
namespace {

constexpr double kLongWireLimit = 200.0;     // feet
constexpr double kSegmentDivisor = 5.0;
// Segments finer than a twentieth of a wavelength add nothing to the sum's
// accuracy; like the plates' patch floor this only matters for a wire whose
// end or middle lies within a sixteenth of a wavelength of an element (dmin
// near 0 would otherwise ask for billions of segments).
constexpr double kMinSegmentWavelengths = 0.05;
constexpr double kDistanceFloor = 1e-10;     // feet
constexpr double kMaxSegments = 2147483646.0;

bool finiteValue(Complex c) { return std::isfinite(c.real()) && std::isfinite(c.imag()); }

// Screens the record before any work; the first array's resonance comes
// first, as a zero-length wire must report it. A radius of 0 is a wire that
// carries no current (it adds nothing); a negative one is an input fault.
int checkWire(RunData& rd, const Scatterer& w, const WirePlan& plan) {
    if (std::sin(rd.arrays[0].waveNumber * w.length) == 0.0) {
        logMessage(rd.messageLog, "ERROR! Resonant wire length.\n");
        return 1;
    }
    if (w.radius < 0.0 || std::isnan(w.radius)) {
        logMessage(rd.messageLog, "ERROR! Wire radius must not be negative.\n");
        return -1;
    }
    const double values[] = {w.x1, w.y1, w.z1, w.x2, w.y2, w.z2, w.length, w.radius};
    for (double v : values) {
        if (!std::isfinite(v)) {
            logMessage(rd.messageLog, "ERROR! Wire dimensions out of range.\n");
            return -1;
        }
    }
    if (!(plan.segmentCount <= kMaxSegments)) {
        logMessage(rd.messageLog, "ERROR! Wire needs more than %.0f segments.\n", kMaxSegments);
        return -1;
    }
    return 0;
}

// Incidence from the array centroid O onto a point of the wire (a segment
// midpoint or an end): the incidence cosine along the wire, the sine of the
// angle to the wire (floored), the horizontal factor s = (cos a ey - sin a ex)
// / rho and the side sign about the pattern axis.
struct Incidence {
    double mu = 0.0;        // cosine between the ray and the wire
    double sin2Beta = 0.0;  // max(1 - mu^2, floor)
    double across = 0.0;    // s, horizontal factor across the wire
    double rho = 0.0;       // horizontal distance, floored at 1e-10
    double side = 1.0;      // +1 when the ray's horizontal part has v . a >= 0
};

Incidence incidenceAt(const double o[3], const double p[3], double sinPsi, double cosPsi,
                      double sinAlpha, double cosAlpha, double axisX, double axisY,
                      double sin2Floor) {
    Incidence in;
    const double ex = p[0] - o[0], ey = p[1] - o[1], ez = p[2] - o[2];
    in.rho = std::max(kDistanceFloor, std::sqrt(ex * ex + ey * ey));
    const double r = std::sqrt(in.rho * in.rho + ez * ez);
    const double sinTheta = ez / r, cosTheta = in.rho / r;
    const double along = (cosAlpha * ex + sinAlpha * ey) / in.rho;
    in.across = (cosAlpha * ey - sinAlpha * ex) / in.rho;
    in.mu = cosTheta * sinPsi * along + sinTheta * cosPsi;
    in.sin2Beta = std::max(1.0 - in.mu * in.mu, sin2Floor);
    in.side = ex * axisX + ey * axisY >= 0.0 ? 1.0 : -1.0;
    return in;
}

// The currents at both ends of a short wire: the array field at the end,
// projected on the wire and on the horizontal polarisation across the ray,
// times the current factor of the end's own incidence.
struct EndCurrents {
    Complex csb[2];
    Complex sbo[2];
};

EndCurrents endCurrents(const RunData& rd, int j, const Scatterer& w, double sinPsi,
                        double cosPsi, double sinAlpha, double cosAlpha, double axisX,
                        double axisY, double sin2Floor) {
    const AntennaArray& a = rd.arrays[j];
    const double o[3] = {a.centroidX, a.centroidY, a.centroidZ};
    EndCurrents e;
    const double ends[2][3] = {{w.x1, w.y1, w.z1}, {w.x2, w.y2, w.z2}};
    for (int n = 0; n < 2; ++n) {
        Complex csb[2], sbo[2];
        arrayField(rd, j, 'G', ends[n][0], ends[n][1], ends[n][2], csb, sbo);
        const Incidence in =
            incidenceAt(o, ends[n], sinPsi, cosPsi, sinAlpha, cosAlpha, axisX, axisY, sin2Floor);
        const double ex = ends[n][0] - o[0], ey = ends[n][1] - o[1];
        const double g =
            (ey * cosAlpha - ex * sinAlpha) / std::max(kDistanceFloor, std::sqrt(ex * ex + ey * ey));
        const double weight = -in.side * sinPsi * g;
        const Complex current = wireCurrentFactor(a.waveNumber, w.radius, in.sin2Beta);
        e.csb[n] = (csb[0] + csb[1]) * weight * current;
        e.sbo[n] = (sbo[0] + sbo[1]) * weight * current;
    }
    return e;
}

}  // namespace

WirePlan planWire(const RunData& rd, const Scatterer& wire) {
    WirePlan plan;
    plan.longWire = wire.length >= kLongWireLimit;
    const double lambda = rd.arrays[0].wavelength;
    plan.targetLength = std::fmax(
        std::sqrt(nearestElementDistance(rd, wire) * lambda) / kSegmentDivisor,
        kMinSegmentWavelengths * lambda);
    plan.segmentCount = std::floor(wire.length / plan.targetLength) + 1.0;
    if (std::isnan(plan.segmentCount)) plan.segmentCount = HUGE_VAL;
    plan.segmentLength = wire.length / plan.segmentCount;
    return plan;
}

Complex wireCurrentFactor(double k, double radius, double sin2Beta) {
    const double x = k * radius * std::sqrt(sin2Beta);
    if (x == 0.0) return Complex(0.0, 0.0);
    const Complex hankel = hankelFirstKindZero(x);
    // A radius so small that Y0 overflows: the current's limit is 0.
    if (!finiteValue(hankel)) return Complex(0.0, 0.0);
    return Complex(0.0, 1.0) / (kPi * sin2Beta * hankel);
}

EndWaves wireEndWaves(double k, double delta, double d1, double d2, double mu) {
    const double h = k * delta / 2.0;
    EndWaves w;
    w.end[0] = -delta * unitPhasor(k * d1) * sinc(h * (1.0 - mu));
    w.end[1] = -delta * unitPhasor(k * d2) * sinc(h * (1.0 + mu));
    return w;
}

// Wire scattering, per array j with centroid O, wave number k (rad/ft) and
// pattern axis unit vector a; lengths in feet, fields in the array field's
// units (its currents per foot). For each segment midpoint M:
//   incident  E = -sigma_i sin(psi) s_i [array field at M]   (direct, image)
//   current   B = j / (pi sin^2 b H0(1)(k a sin b)),  sin^2 b = max(1 - mu_i^2, min(1, 2/(kL)))
//   per observation point P:
//     S1 = D sinc(h (mu_i - mu_s)), S2 = D sinc(h (mu_i - mu_s + 2 Oz cos psi / rho_i)),
//     sum = B (S1 Ed + S2 Ei) + end waves of the end currents (short wires),
//     G = sigma_s sin(psi) s_s exp(j k Rs) / Rs * (1 - (Rs / R's) exp(j k (R's - Rs))),
//   with R's the path from M's ground image to P; field = sum * G, weighted by
//   the Doppler filter factors. sigma(v) = +1 when v . a >= 0, else -1.
int computeWire(RunData& rd, const Scatterer& wire, int /*wireSerial*/) {
    const WirePlan plan = planWire(rd, wire);
    if (const int bad = checkWire(rd, wire, plan); bad != 0) return bad;

    const int32_t n = rd.pointCount;
    const double segments = plan.segmentCount;
    const int32_t segmentCount = static_cast<int32_t>(segments);
    const double delta = plan.segmentLength;
    const double length = wire.length;
    const double sinPsi = std::sin(wire.tilt), cosPsi = std::cos(wire.tilt);
    const double sinAlpha = std::sin(wire.azimuth), cosAlpha = std::cos(wire.azimuth);
    const double sign = wire.contributionCode == 1 ? -1.0 : 1.0;

    // Progress: one percent per stride of point iterations over the whole wire.
    const double strideValue =
        std::trunc((rd.system.captureEffect + 1.0) * segments * rd.scatterCommandCount * n / 100.0 +
                   0.5);
    const int64_t stride = strideValue >= 1.0 ? (strideValue < 9e18 ? static_cast<int64_t>(strideValue)
                                                                     : INT64_MAX)
                                              : 1;
    int64_t iterations = 0;
    int32_t percents = 0;

    PointCursor cursor;
    if (openPoints(rd, cursor) != 0) return -1;

    const int lastArray = rd.system.captureEffect == 1 ? 1 : 0;
    for (int j = 0; j <= lastArray; ++j) {
        const AntennaArray& a = rd.arrays[j];
        const double k = a.waveNumber;
        const double kL = k * length;
        if (std::sin(kL) == 0.0) {
            logMessage(rd.messageLog, "ERROR! Resonant wire length.\n");
            closePoints(cursor);
            return 1;
        }
        const double h = k * delta / 2.0;
        const double source[3] = {a.centroidX, a.centroidY, a.centroidZ};
        const double axisX = std::cos(a.pattern.patternAxis);
        const double axisY = std::sin(a.pattern.patternAxis);
        // A ray along the wire: the forced current grows over the wire's
        // length only, as the infinite wire's at sin^2 b = 2 / (k L).
        const double sin2Floor = std::min(1.0, 2.0 / kL);

        EndCurrents ends{};
        if (!plan.longWire) {
            ends = endCurrents(rd, j, wire, sinPsi, cosPsi, sinAlpha, cosAlpha, axisX, axisY,
                               sin2Floor);
        }

        for (int32_t s = 0; s < segmentCount; ++s) {
            const double m[3] = {wire.x1 + (s + 0.5) * (wire.x2 - wire.x1) / segments,
                                 wire.y1 + (s + 0.5) * (wire.y2 - wire.y1) / segments,
                                 wire.z1 + (s + 0.5) * (wire.z2 - wire.z1) / segments};
            const double d1 = (s + 0.5) * delta, d2 = length - d1;

            const Incidence in =
                incidenceAt(source, m, sinPsi, cosPsi, sinAlpha, cosAlpha, axisX, axisY, sin2Floor);
            Complex csb[2], sbo[2];
            arrayField(rd, j, 'G', m[0], m[1], m[2], csb, sbo);
            const double along = -in.side * sinPsi * in.across;
            const Complex csbDirect = csb[0] * along, csbImage = csb[1] * along;
            const Complex sboDirect = sbo[0] * along, sboImage = sbo[1] * along;
            const Complex current = wireCurrentFactor(k, wire.radius, in.sin2Beta);
            const double imageShift = 2.0 * source[2] * cosPsi / in.rho;

            FieldPass pass;
            if (beginFieldPass(rd, pass) != 0) {
                closePoints(cursor);
                return -1;
            }
            for (int32_t p = 0; p < n; ++p) {
                ObservationPoint pt;
                FieldRecord* record = nullptr;
                if (nextPoint(rd, cursor, pt) != 0 ||
                    (record = fieldPassRecord(rd, pass)) == nullptr) {
                    abortFieldPass(pass);
                    closePoints(cursor);
                    return -1;
                }
                const double dx = pt.x - m[0], dy = pt.y - m[1], dz = pt.z - m[2];
                // A point on the segment's midpoint has no direction from it:
                // the segment adds nothing there.
                if (dx != 0.0 || dy != 0.0 || dz != 0.0) {
                    const double rhoS = std::max(kDistanceFloor, std::sqrt(dx * dx + dy * dy));
                    const double rS = std::sqrt(rhoS * rhoS + dz * dz);
                    const double sinThetaS = dz / rS, cosThetaS = rhoS / rS;
                    const double cS = (cosAlpha * dx + sinAlpha * dy) / rhoS;
                    const double sS = (sinAlpha * dx - cosAlpha * dy) / rhoS;
                    const double muS = cosThetaS * sinPsi * cS + sinThetaS * cosPsi;
                    const double sideS = dx * axisX + dy * axisY >= 0.0 ? 1.0 : -1.0;
                    // Path from the ground image of M; R's^2 - Rs^2 = (zP + zM)^2 - dz^2
                    // keeps the path difference exact for distant observers.
                    const double up = pt.z + m[2];
                    const double rImage = std::sqrt(rhoS * rhoS + up * up);
                    const double pathDifference = (up * up - dz * dz) / (rImage + rS);

                    const double s1 = delta * sinc(h * (in.mu - muS));
                    const double s2 = delta * sinc(h * (in.mu - muS + imageShift));
                    Complex sumC = current * (s1 * csbDirect + s2 * csbImage);
                    Complex sumS = current * (s1 * sboDirect + s2 * sboImage);
                    if (!plan.longWire) {
                        const EndWaves e = wireEndWaves(k, delta, d1, d2, muS);
                        sumC += ends.csb[0] * e.end[0] + ends.csb[1] * e.end[1];
                        sumS += ends.sbo[0] * e.end[0] + ends.sbo[1] * e.end[1];
                    }
                    const Complex f =
                        (sideS * sinPsi * sS) * std::exp(Complex(0.0, k * rS)) / rS;
                    const Complex ground = 1.0 - (rS / rImage) * unitPhasor(k * pathDifference);
                    const Complex g = f * ground;
                    const Complex csbScat = sign * (sumC * g);
                    const Complex sboScat = sign * (sumS * g);

                    const double observer[3] = {pt.x, pt.y, pt.z};
                    const double velocity[3] = {pt.vx, pt.vy, pt.vz};
                    const DopplerFactors d = dopplerFilterFactors(source, m, observer, velocity, k);
                    // Only coordinates near the limits of the number range
                    // (squared distances overflowing) can make a value not
                    // finite; such a contribution is left out.
                    if (finiteValue(csbScat) && finiteValue(sboScat) && std::isfinite(d.f0) &&
                        std::isfinite(d.f60) && std::isfinite(d.f90) && std::isfinite(d.f150)) {
                        accumulateField(rd, j, csbScat, sboScat, d.f90, d.f150, d.f60, d.f0,
                                        *record);
                    }
                }
                if (fieldPassStore(rd, pass) != 0) {
                    abortFieldPass(pass);
                    closePoints(cursor);
                    return -1;
                }
                if (++iterations % stride == 0) {
                    ++percents;
                    rd.progressPercent.store(
                        static_cast<int32_t>(rd.progressAccumulator + percents));
                }
            }
            if (endFieldPass(rd, pass) != 0 || rewindPoints(rd, cursor) != 0) {
                closePoints(cursor);
                return -1;
            }
        }
    }
    closePoints(cursor);
    // Slots 12..14 always show every contribution so far, whatever the
    // order of the commands.
    return storeMultipathMagnitudes(rd) == 0 ? 0 : -1;
}

}  // namespace ils
