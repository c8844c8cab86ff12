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

EndCurrents endCurrents(const Station& st, int j, const Scatterer& w, double sinPsi,
                        double cosPsi, double sinAlpha, double cosAlpha, double axisX,
                        double axisY, double sin2Floor) {
    const AntennaArray& a = st.arrays[j];
    const double o[3] = {a.centroidX, a.centroidY, a.centroidZ};
    EndCurrents e;
    const double ends[2][3] = {{w.x1, w.y1, w.z1}, {w.x2, w.y2, w.z2}};
    for (int n = 0; n < 2; ++n) {
        Complex csb[2], sbo[2];
        arrayField(st, j, 'G', ends[n][0], ends[n][1], ends[n][2], csb, sbo);
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

WireArrayFrame wireArrayFrame(const Station& st, const Scatterer& wire, const WirePlan& plan, int j) {
    const AntennaArray& a = st.arrays[j];
    WireArrayFrame f;
    f.j = j;
    f.k = a.waveNumber;
    f.length = wire.length;
    f.radius = wire.radius;
    f.delta = plan.segmentLength;
    f.h = f.k * f.delta / 2.0;
    f.longWire = plan.longWire;
    f.sinPsi = std::sin(wire.tilt);
    f.cosPsi = std::cos(wire.tilt);
    f.sinAlpha = std::sin(wire.azimuth);
    f.cosAlpha = std::cos(wire.azimuth);
    f.sign = wire.contributionCode == 1 ? -1.0 : 1.0;
    f.source[0] = a.centroidX;
    f.source[1] = a.centroidY;
    f.source[2] = a.centroidZ;
    f.axisX = std::cos(a.pattern.patternAxis);
    f.axisY = std::sin(a.pattern.patternAxis);
    // A ray along the wire: the forced current grows over the wire's
    // length only, as the infinite wire's at sin^2 b = 2 / (k L).
    f.sin2Floor = std::min(1.0, 2.0 / (f.k * f.length));
    if (!plan.longWire) {
        const EndCurrents e = endCurrents(st, j, wire, f.sinPsi, f.cosPsi, f.sinAlpha, f.cosAlpha,
                                          f.axisX, f.axisY, f.sin2Floor);
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
    g.d1 = (s + 0.5) * f.delta;
    g.d2 = f.length - g.d1;

    const Incidence in = incidenceAt(f.source, g.m, f.sinPsi, f.cosPsi, f.sinAlpha, f.cosAlpha,
                                     f.axisX, f.axisY, f.sin2Floor);
    g.muI = in.mu;
    Complex csb[2], sbo[2];
    arrayField(st, f.j, 'G', g.m[0], g.m[1], g.m[2], csb, sbo);
    const double along = -in.side * f.sinPsi * in.across;
    g.csbDirect = csb[0] * along;
    g.csbImage = csb[1] * along;
    g.sboDirect = sbo[0] * along;
    g.sboImage = sbo[1] * along;
    g.current = wireCurrentFactor(f.k, f.radius, in.sin2Beta);
    g.imageShift = 2.0 * f.source[2] * f.cosPsi / in.rho;
    g.sinShift = std::sin(f.h * g.imageShift);
    g.cosShift = std::cos(f.h * g.imageShift);
    g.lead[0] = -f.delta * unitPhasor(f.k * g.d1);
    g.lead[1] = -f.delta * unitPhasor(f.k * g.d2);
    return g;
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
            // Each segment's set-up is its own (the array's field at its
            // midpoint, its current factor): across the threads.
            chunk.resize(static_cast<size_t>(last - first));
            parallelFor(rd.workers, last - first, 4, [&](int32_t begin, int32_t end, int) {
                for (int32_t s = begin; s < end; ++s)
                    chunk[static_cast<size_t>(s)] = wireSegment(st, wire, f, segments, first + s);
            });
            const int64_t perPoint = last - first;
            const int status = runFieldPass(
                rd, false,
                [&](const PassBlock& b, int) { addWireSegments(st, f, chunk, b.points, b.records); },
                [&](int32_t points) { progress.add(perPoint * points); });
            if (status != 0) return -1;
        }
    }
    return 0;
}

}  // namespace ils
