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
// first, as a zero-length wire must report it.
int checkWire(RunData& rd, const Scatterer& w, const WirePlan& plan) {
    if (std::sin(rd.arrays[0].waveNumber * w.length) == 0.0) {
        logMessage(rd.messageLog, "ERROR! Resonant wire length.\n");
        return 1;
    }
    if (!(w.radius > 0.0)) {
        logMessage(rd.messageLog, "ERROR! Wire radius must be greater than zero.\n");
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

// The fields of the array at both ends of a short wire, projected on the
// wire and weighted by the end's horizontal direction factor.
struct EndFields {
    Complex csb[2];
    Complex sbo[2];
};

EndFields endFields(const RunData& rd, int j, const Scatterer& w, double sinPsi, double sinAlpha,
                    double cosAlpha) {
    const AntennaArray& a = rd.arrays[j];
    EndFields e;
    const double ends[2][3] = {{w.x1, w.y1, w.z1}, {w.x2, w.y2, w.z2}};
    for (int n = 0; n < 2; ++n) {
        Complex csb[2], sbo[2];
        arrayField(rd, j, 'G', ends[n][0], ends[n][1], ends[n][2], csb, sbo);
        const double ex = ends[n][0] - a.centroidX;
        const double ey = ends[n][1] - a.centroidY;
        const double g =
            (ey * cosAlpha - ex * sinAlpha) / std::max(kDistanceFloor, std::sqrt(ex * ex + ey * ey));
        e.csb[n] = (csb[0] + csb[1]) * (sinPsi * g);
        e.sbo[n] = (sbo[0] + sbo[1]) * (sinPsi * g);
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

Complex wireEndFactor(double h, double kL, double k, double mu) {
    const double d = k * std::sin(kL) * (1.0 - mu * mu);
    if (d == 0.0) {
        // On the axis numerator and denominator vanish together; take the
        // limit of their ratio (first derivatives in mu).
        const double sc = std::sin(h) * std::cos(h);
        const double sHalf = std::sin(kL / 2.0), cHalf = std::cos(kL / 2.0);
        const double den = k * std::sin(kL);
        const double re = -sHalf * (h + sc) / den;
        const double im = (mu > 0.0 ? -1.0 : 1.0) * cHalf * (sc - h) / den;
        return Complex(re, im);
    }
    const double cmu = std::cos(h * mu), smu = std::sin(h * mu);
    const double cp = std::cos(h + kL / 2.0), sp = std::sin(h + kL / 2.0);
    const double cm = std::cos(kL / 2.0 - h), sm = std::sin(kL / 2.0 - h);
    const double re = cmu * (cp - cm) + smu * mu * (sp + sm);
    const double im = cmu * mu * (sp - sm) - smu * (cp + cm);
    return Complex(re / d, im / d);
}

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

        EndFields ends{};
        if (!plan.longWire) ends = endFields(rd, j, wire, sinPsi, sinAlpha, cosAlpha);

        for (int32_t s = 0; s < segmentCount; ++s) {
            const double m[3] = {wire.x1 + (s + 0.5) * (wire.x2 - wire.x1) / segments,
                                 wire.y1 + (s + 0.5) * (wire.y2 - wire.y1) / segments,
                                 wire.z1 + (s + 0.5) * (wire.z2 - wire.z1) / segments};

            // Incidence from the array centroid.
            const double ex = m[0] - source[0], ey = m[1] - source[1], ez = m[2] - source[2];
            const double rhoI = std::max(kDistanceFloor, std::sqrt(ex * ex + ey * ey));
            const double rI = std::sqrt(rhoI * rhoI + ez * ez);
            const double sinThetaI = ez / rI, cosThetaI = rhoI / rI;
            const double cI = (cosAlpha * ex + sinAlpha * ey) / rhoI;
            const double sI = (cosAlpha * ey - sinAlpha * ex) / rhoI;
            const double muI = cosThetaI * sinPsi * cI + sinThetaI * cosPsi;

            Complex csb[2], sbo[2];
            arrayField(rd, j, 'G', m[0], m[1], m[2], csb, sbo);
            const double along = sinPsi * sI;
            const Complex csbDirect = csb[0] * along, csbImage = csb[1] * along;
            const Complex sboDirect = sbo[0] * along, sboImage = sbo[1] * along;

            // Induced current factor.
            Complex current(0.0, 0.0);
            if (cosThetaI * sI != 0.0) {
                const Complex hankel = hankelSecondKindZero(k * wire.radius * cosThetaI * sI);
                // A vanishing argument makes H infinite: the current's limit is 0.
                if (finiteValue(hankel)) current = Complex(0.0, 1.0) / (kPi * hankel);
            }
            const double imageShift = 2.0 * source[2] * cosPsi / rhoI;

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

                    const double s1 = delta * sinc(h * (muI - muS));
                    const double s2 = delta * sinc(h * (muI - muS + imageShift));
                    Complex sumC = s1 * csbDirect + s2 * csbImage;
                    Complex sumS = s1 * sboDirect + s2 * sboImage;
                    if (!plan.longWire) {
                        const Complex t = wireEndFactor(h, kL, k, muS);
                        sumC += ends.csb[0] * std::conj(t) + ends.csb[1] * t;
                        sumS += ends.sbo[0] * std::conj(t) + ends.sbo[1] * t;
                    }
                    const Complex f = (sinPsi * sS) * std::exp(Complex(0.0, k * rS)) / rS;
                    const double x = k * m[2] * sinThetaS;
                    const Complex ground = Complex(0.0, 2.0 * std::sin(x)) * unitPhasor(-x);
                    const Complex g = current * f * ground;
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
