#include "scatter/wire.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <vector>

#include "input/messages.h"
#include "path/direct_field.h"
#include "path/field_pass.h"
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
// Segments one field pass adds at once (bounds the memory of a long wire).
constexpr int32_t kSegmentsPerPass = 4096;

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

EndFields endFields(const Station& st, int j, const Scatterer& w, double sinPsi, double sinAlpha,
                    double cosAlpha) {
    const AntennaArray& a = st.arrays[j];
    EndFields e;
    const double ends[2][3] = {{w.x1, w.y1, w.z1}, {w.x2, w.y2, w.z2}};
    for (int n = 0; n < 2; ++n) {
        Complex csb[2], sbo[2];
        arrayField(st, j, 'G', ends[n][0], ends[n][1], ends[n][2], csb, sbo);
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

WirePlan planWire(const Station& st, const Scatterer& wire) {
    WirePlan plan;
    plan.longWire = wire.length >= kLongWireLimit;
    const double lambda = st.arrays[0].wavelength;
    plan.targetLength = std::fmax(
        std::sqrt(nearestElementDistance(st, wire) * lambda) / kSegmentDivisor,
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

WireArrayFrame wireArrayFrame(const Station& st, const Scatterer& wire, const WirePlan& plan, int j) {
    const AntennaArray& a = st.arrays[j];
    WireArrayFrame f;
    f.j = j;
    f.k = a.waveNumber;
    f.kL = f.k * wire.length;
    f.h = f.k * plan.segmentLength / 2.0;
    f.delta = plan.segmentLength;
    f.longWire = plan.longWire;
    f.sinPsi = std::sin(wire.tilt);
    f.cosPsi = std::cos(wire.tilt);
    f.sinAlpha = std::sin(wire.azimuth);
    f.cosAlpha = std::cos(wire.azimuth);
    f.sign = wire.contributionCode == 1 ? -1.0 : 1.0;
    f.source[0] = a.centroidX;
    f.source[1] = a.centroidY;
    f.source[2] = a.centroidZ;
    if (!plan.longWire) {
        const EndFields e = endFields(st, j, wire, f.sinPsi, f.sinAlpha, f.cosAlpha);
        for (int n = 0; n < 2; ++n) {
            f.endCsb[n] = e.csb[n];
            f.endSbo[n] = e.sbo[n];
        }
    }
    return f;
}

WireSegment wireSegment(const Station& st, const Scatterer& wire, const WireArrayFrame& f,
                        double segments, int32_t s) {
    WireSegment g;
    g.m[0] = wire.x1 + (s + 0.5) * (wire.x2 - wire.x1) / segments;
    g.m[1] = wire.y1 + (s + 0.5) * (wire.y2 - wire.y1) / segments;
    g.m[2] = wire.z1 + (s + 0.5) * (wire.z2 - wire.z1) / segments;

    // Incidence from the array centroid.
    const double ex = g.m[0] - f.source[0], ey = g.m[1] - f.source[1], ez = g.m[2] - f.source[2];
    const double rhoI = std::max(kDistanceFloor, std::sqrt(ex * ex + ey * ey));
    const double rI = std::sqrt(rhoI * rhoI + ez * ez);
    const double sinThetaI = ez / rI, cosThetaI = rhoI / rI;
    const double cI = (f.cosAlpha * ex + f.sinAlpha * ey) / rhoI;
    const double sI = (f.cosAlpha * ey - f.sinAlpha * ex) / rhoI;
    g.muI = cosThetaI * f.sinPsi * cI + sinThetaI * f.cosPsi;

    Complex csb[2], sbo[2];
    arrayField(st, f.j, 'G', g.m[0], g.m[1], g.m[2], csb, sbo);
    const double along = f.sinPsi * sI;
    g.csbDirect = csb[0] * along;
    g.csbImage = csb[1] * along;
    g.sboDirect = sbo[0] * along;
    g.sboImage = sbo[1] * along;

    // Induced current factor.
    g.current = Complex(0.0, 0.0);
    if (cosThetaI * sI != 0.0) {
        const Complex hankel = hankelSecondKindZero(f.k * wire.radius * cosThetaI * sI);
        // A vanishing argument makes H infinite: the current's limit is 0.
        if (finiteValue(hankel)) g.current = Complex(0.0, 1.0) / (kPi * hankel);
    }
    g.imageShift = 2.0 * f.source[2] * f.cosPsi / rhoI;
    return g;
}

void addWireSegments(const Station& st, const WireArrayFrame& f, std::span<const WireSegment> segments,
                     std::span<const ObservationPoint> points, std::span<FieldRecord> records) {
    for (size_t i = 0; i < points.size(); ++i) {
        const ObservationPoint& pt = points[i];
        FieldRecord& record = records[i];
        const double observer[3] = {pt.x, pt.y, pt.z};
        const double velocity[3] = {pt.vx, pt.vy, pt.vz};
        for (const WireSegment& g : segments) {
            const double dx = pt.x - g.m[0], dy = pt.y - g.m[1], dz = pt.z - g.m[2];
            // A point on the segment's midpoint has no direction from it:
            // the segment adds nothing there.
            if (dx == 0.0 && dy == 0.0 && dz == 0.0) continue;
            const double rhoS = std::max(kDistanceFloor, std::sqrt(dx * dx + dy * dy));
            const double rS = std::sqrt(rhoS * rhoS + dz * dz);
            const double sinThetaS = dz / rS, cosThetaS = rhoS / rS;
            const double cS = (f.cosAlpha * dx + f.sinAlpha * dy) / rhoS;
            const double sS = (f.sinAlpha * dx - f.cosAlpha * dy) / rhoS;
            const double muS = cosThetaS * f.sinPsi * cS + sinThetaS * f.cosPsi;

            const double s1 = f.delta * sinc(f.h * (g.muI - muS));
            const double s2 = f.delta * sinc(f.h * (g.muI - muS + g.imageShift));
            Complex sumC = s1 * g.csbDirect + s2 * g.csbImage;
            Complex sumS = s1 * g.sboDirect + s2 * g.sboImage;
            if (!f.longWire) {
                const Complex t = wireEndFactor(f.h, f.kL, f.k, muS);
                sumC += f.endCsb[0] * std::conj(t) + f.endCsb[1] * t;
                sumS += f.endSbo[0] * std::conj(t) + f.endSbo[1] * t;
            }
            const Complex fr = (f.sinPsi * sS) * std::exp(Complex(0.0, f.k * rS)) / rS;
            const double x = f.k * g.m[2] * sinThetaS;
            const Complex ground = Complex(0.0, 2.0 * std::sin(x)) * unitPhasor(-x);
            const Complex gg = g.current * fr * ground;
            const Complex csbScat = f.sign * (sumC * gg);
            const Complex sboScat = f.sign * (sumS * gg);

            const DopplerFactors d = dopplerFilterFactors(f.source, g.m, observer, velocity, f.k);
            // Only coordinates near the limits of the number range (squared
            // distances overflowing) can make a value not finite; such a
            // contribution is left out.
            if (finiteValue(csbScat) && finiteValue(sboScat) && std::isfinite(d.f0) &&
                std::isfinite(d.f60) && std::isfinite(d.f90) && std::isfinite(d.f150)) {
                accumulateField(st, f.j, csbScat, sboScat, d.f90, d.f150, d.f60, d.f0, record);
            }
        }
    }
}

int computeWire(RunData& rd, const Scatterer& wire, int /*wireSerial*/) {
    const Station st(rd);
    const WirePlan plan = planWire(st, wire);
    if (const int bad = checkWire(rd, wire, plan); bad != 0) return bad;

    const double segments = plan.segmentCount;
    const int32_t segmentCount = static_cast<int32_t>(segments);

    // Progress: one percent per stride of point iterations over the whole wire.
    ProgressCounter progress{
        &rd.progressPercent, rd.progressAccumulator,
        boundedStride((rd.system.captureEffect + 1.0) * segments * rd.scatterCommandCount *
                      rd.pointCount / 100.0)};

    std::vector<WireSegment> chunk;
    for (int j = 0; j < st.arrayCount(); ++j) {
        if (std::sin(st.arrays[j].waveNumber * wire.length) == 0.0) {
            logMessage(rd.messageLog, "ERROR! Resonant wire length.\n");
            return 1;
        }
        const WireArrayFrame f = wireArrayFrame(st, wire, plan, j);
        // Points outermost: one pass adds a chunk of segments to every
        // record, each record receiving the segments in order.
        for (int32_t first = 0; first < segmentCount; first += kSegmentsPerPass) {
            const int32_t last = segmentCount - first > kSegmentsPerPass ? first + kSegmentsPerPass
                                                                          : segmentCount;
            chunk.clear();
            for (int32_t s = first; s < last; ++s) chunk.push_back(wireSegment(st, wire, f, segments, s));
            const int64_t perPoint = last - first;
            const int status = runFieldPass(
                rd, false,
                [&](const PassBlock& b, int) { addWireSegments(st, f, chunk, b.points, b.records); },
                [&](int32_t points) { progress.add(perPoint * points); });
            if (status != 0) return -1;
        }
    }
    // Slots 12..14 always show every contribution so far, whatever the
    // order of the commands.
    return storeMultipathMagnitudes(rd) == 0 ? 0 : -1;
}

}  // namespace ils
