// Plain scalar transcriptions of the equations that the vector field kernels
// state (plate_kernel.cpp, wire_kernel.cpp, simd/field_lanes-inl.h,
// numerics.h, direct_field.h), written with std:: mathematics only, for the
// kernel lane tests. The per-pair and per-segment inputs come from the set-up
// functions (setupPlateFrame, setupPatchSources, wireArrayFrame, wireSegment);
// everything that a kernel computes per point is written out here again.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <complex>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <random>
#include <span>
#include <string>
#include <vector>

#include "interface/run_data.h"
#include "scatter/plate_patch.h"
#include "scatter/wire.h"
#include "scatter/wire_scene.h"

namespace ils::lanes {

using C = std::complex<double>;

// Every complex slot 0..11 of a record must lie within kSlotTolerance times
// the record's largest slot magnitude (of the transcription) of the
// transcription's value: kernel and transcription evaluate the same formulas,
// the kernel with its own vector sine, cosine, sinc and Doppler shifts, so
// they differ by rounding only. Slots 12..14 are never accumulated: their
// bits must stay as they were.
inline constexpr double kSlotTolerance = 1e-12;

inline double sincOf(double x) { return std::fabs(x) < 1e-4 ? 1.0 - x * x / 6.0 : std::sin(x) / x; }
inline C phasor(double a) { return std::exp(C(0.0, a)); }
inline bool finite(C c) { return std::isfinite(c.real()) && std::isfinite(c.imag()); }

// ---- shared by every kernel -------------------------------------------------

struct Doppler {
    double f0 = 0, f60 = 0, f90 = 0, f150 = 0;
};

// Receiver filter response (filter time 1/15 s) to the Doppler difference of
// the paths S -> Q -> O and S -> O for an observer moving with v; a path of
// no length has no rate.
inline Doppler dopplerOf(const double s[3], const double q[3], const ObservationPoint& o,
                         const double v[3], double k) {
    auto rate = [&](const double from[3]) {
        const double d[3] = {o.x - from[0], o.y - from[1], o.z - from[2]};
        const double len = std::sqrt(d[0] * d[0] + d[1] * d[1] + d[2] * d[2]);
        return len == 0.0 ? 0.0 : k * (d[0] * v[0] + d[1] * v[1] + d[2] * v[2]) / len;
    };
    const double u = (rate(q) - rate(s)) * 0.06666666666666667 * 0.5;
    return {sincOf(u), sincOf(u + 12.56637061436), sincOf(u + 18.849555921540002),
            sincOf(u + 31.4159265359)};
}
inline bool finite(const Doppler& f) {
    return std::isfinite(f.f0) && std::isfinite(f.f60) && std::isfinite(f.f90) && std::isfinite(f.f150);
}

// The slot rule of one accumulation for array j.
inline void accumulate(double captureWeight, int j, C csb, C sbo, const Doppler& f, FieldRecord& r) {
    if (j == 1) {
        csb *= captureWeight;
        sbo *= captureWeight;
    }
    r.slot[j] += csb;
    r.slot[2 + 2 * j] += f.f0 * (csb - sbo);
    r.slot[3 + 2 * j] += f.f0 * (csb + sbo);
    r.slot[6 + 2 * j] += f.f60 * (csb + sbo);
    r.slot[7 + 2 * j] += f.f60 * (csb - sbo);
    r.slot[10] += f.f90 * csb;
    r.slot[11] += f.f150 * csb;
}

// ---- plates -------------------------------------------------------------------

struct Incidence {
    double ni, ei, si, ci, cI, s2;
};

// The incidence turned by delta about the plate's bottom edge: the direction
// (along the edge, along the normal, along the up vector) turned in the
// normal-up plane, then back in the horizontal frame. Near the normal the
// factor divides by 1 - cI^2 of about 1e-6, so these steps are written as the
// library states them: one rounding more would show at 1e-10.
inline Incidence turned(const Incidence& in, double ct, double st, double delta) {
    const double edge = in.ci * in.ei, normal = in.cI, up = in.ci * st * in.ni + in.si * ct;
    const double c = std::cos(delta), s = std::sin(delta);
    const double n2 = normal * c - up * s, u2 = normal * s + up * c;
    const double horizontal = n2 * ct + u2 * st, vertical = -n2 * st + u2 * ct;
    const double rho = std::max(1e-10, std::hypot(edge, horizontal));
    const double r = std::sqrt(rho * rho + vertical * vertical);
    Incidence t{horizontal / rho, edge / rho, vertical / r, rho / r, 0, 0};
    t.cI = t.ci * ct * t.ni - t.si * st;
    t.s2 = 1.0 - t.cI * t.cI;
    return t;
}

// The physical-optics factor for an incidence away from the normal; eo, no
// the observer's along-edge and across-front cosines, so, co its elevation.
inline C plainFactor(const Incidence& in, double ct, double st, double eo, double no, double so,
                     double co, C gPerp, C gPar) {
    if (in.ni < 0) return 0.0;
    const double A = eo * in.ni + no * in.ei, B = no * in.ni - eo * in.ei;
    const double r1 = in.si * so - B * in.ci * co;
    const double m1 = A * in.ci * co;
    const double o1 = -co * ct * no - st * so;
    const double wA = (r1 * ct * co * eo - m1 * o1) * (-ct * in.ei * in.cI / in.s2);
    const double wB = (in.cI * ct * co * eo - m1) * (-ct * in.ei / in.s2);
    const double e1 = (in.si * ct * in.ni + in.ci * st) / in.s2;
    const double wC = (r1 * so - in.si - (st + so * o1) * in.cI) * e1;
    const double wD = (-st * r1 - in.si * o1) * e1 * in.cI;
    return (gPar - 1.0) * wA - (gPar + 1.0) * wB - (gPerp + 1.0) * wC + (gPerp - 1.0) * wD;
}

// Within sin2Inc < 1e-8 of the normal: the mean over the incidence turned by
// +-1e-3 rad about the bottom edge.
inline C polarization(const Incidence& in, double ct, double st, double eo, double no, double so,
                      double co, C gPerp, C gPar) {
    if (in.ni < 0) return 0.0;
    if (in.s2 >= 1e-8) return plainFactor(in, ct, st, eo, no, so, co, gPerp, gPar);
    return 0.5 * (plainFactor(turned(in, ct, st, 1e-3), ct, st, eo, no, so, co, gPerp, gPar) +
                  plainFactor(turned(in, ct, st, -1e-3), ct, st, eo, no, so, co, gPerp, gPar));
}

struct PairValue {
    C csb, sbo;
    Doppler f;
};

// Whether the observer at w = O - Q lies on the plate's front side.
inline bool inFront(const double w[2], double sinAz, double cosAz) {
    const double rhoS = std::max(1e-10, std::sqrt(w[0] * w[0] + w[1] * w[1]));
    return (w[0] * sinAz - w[1] * cosAz) / rhoS > 0;
}

// The pair's scattered CSB, SBO and Doppler factors at o moving with v (zero
// where a value is not finite); false when o is on the back side and only
// the front scatters.
inline bool pairAtPoint(const PatchSource& ps, double sinAz, double cosAz, bool bothSides,
                        const ObservationPoint& o, const double v[3], PairValue& out) {
    const double* q = ps.centre;
    const double w[3] = {o.x - q[0], o.y - q[1], o.z - q[2]};
    const double rhoS = std::max(1e-10, std::sqrt(w[0] * w[0] + w[1] * w[1]));
    const double across = (w[0] * sinAz - w[1] * cosAz) / rhoS;
    const double along = (w[1] * sinAz + w[0] * cosAz) / rhoS;
    if (!(across > 0) && !bothSides) return false;
    const ScatterGeometry& g = ps.geometry;
    const Incidence in{g.incAlongNormal, g.incAlongEdge, g.sinIncElev, g.cosIncElev, g.cosInc, g.sin2Inc};
    const double ct = g.cosTilt, st = g.sinTilt;
    // One observation path: direct (wz = O_z - Q_z, +1) or via the observer's
    // ground image (wz = -(Q_z + O_z), -1).
    auto path = [&](double wz, double sign, double& sd, double& sr) {
        const double rs = std::sqrt(rhoS * rhoS + wz * wz);
        const double co = rhoS / rs, so = wz / rs;
        const double b = ps.ui - (so * ct - co * across * st);
        const double fE = sign * sincOf(ps.halfKdl * (ps.ei - co * along)) * ps.dl * ps.dh;
        sd = sincOf(ps.halfKdh * b);
        sr = sincOf(ps.halfKdh * (ps.groundShift + b));
        const C p = polarization(in, ct, st, along, across, so, co, ps.gammaPerp, ps.gammaPar);
        return fE * p * phasor(g.k * rs) / rs;
    };
    double sd1 = 0, sr1 = 0, sd2 = 0, sr2 = 0;
    const C x1 = path(w[2], 1.0, sd1, sr1);
    const C x2 = path(-(q[2] + o.z), -1.0, sd2, sr2);
    const C td = sd1 * x1 + sd2 * x2, tr = sr1 * x1 + sr2 * x2;
    out.csb = ps.jAmplitude * (ps.ec * td + ps.ecGround * tr);
    out.sbo = ps.jAmplitude * (ps.es * td + ps.esGround * tr);
    out.f = dopplerOf(ps.source, ps.centre, o, v, g.k);
    if (!finite(out.csb) || !finite(out.sbo) || !finite(out.f)) out = PairValue{};
    // An observer on the patch centre (direct path of at most 1e-10 ft) is
    // left out like an undefined term.
    if (std::sqrt(rhoS * rhoS + w[2] * w[2]) <= 1e-10) out = PairValue{};
    return true;
}

// A plate position set up in loop order: rows, columns (centres as running
// sums), arrays, sources. pairs holds the facing pairs (patch = row * nc +
// column); per patch the sources looked at and those behind the plate.
struct PlateSetup {
    PlateFrame frame;
    std::vector<PatchSource> pairs;
    std::vector<std::array<double, 3>> centres;
    std::vector<int32_t> sources, behind;
};

inline PlateSetup setUpPlate(const Station& st, const Scatterer& plate) {
    PlateSetup s;
    setupPlateFrame(st, plate, s.frame);
    const PlateFrame& f = s.frame;
    double row[3] = {f.first[0], f.first[1], f.first[2]};
    for (int32_t p = 0; p < f.nr; ++p) {
        double c[3] = {row[0], row[1], row[2]};
        for (int32_t q = 0; q < f.nc; ++q) {
            int32_t looked = 0, back = 0;
            for (int j = 0; j < f.arrayCount; ++j) {
                // The engine's own set-up of the patch's sources (vectors of
                // sources), so that the kernels see the pairs a run gives them.
                std::vector<PatchSource> sources(kMaxArrayElements);
                bool facingOf[kMaxArrayElements] = {};
                setupPatchSources(st, plate, f, j, c, sources.data(), facingOf);
                for (int src = 0; src < f.sourceCount[j]; ++src) {
                    PatchSource ps = sources[static_cast<size_t>(src)];
                    const bool facing = facingOf[src];
                    // Facing written out: Q - S has a positive part along the normal.
                    const double dx = c[0] - ps.source[0], dy = c[1] - ps.source[1];
                    const double rho = std::max(1e-10, std::sqrt(dx * dx + dy * dy));
                    EXPECT_EQ(facing, (dy * f.cosAz - dx * f.sinAz) / rho > 0) << p << " " << q;
                    ++looked;
                    if (!facing) {
                        ++back;
                        continue;
                    }
                    ps.patch = p * f.nc + q;
                    s.pairs.push_back(ps);
                }
            }
            s.centres.push_back({c[0], c[1], c[2]});
            s.sources.push_back(looked);
            s.behind.push_back(back);
            for (int i = 0; i < 3; ++i) c[i] += f.cstep[i];
        }
        for (int i = 0; i < 3; ++i) row[i] += f.rstep[i];
    }
    return s;
}

// The fixed plate's sum over the pairs for each point, added to records;
// lit counts the (pair, point) evaluations on the side that scatters.
inline void plateReference(const Station& st, const Scatterer& plate, const PlateSetup& s,
                           std::span<const ObservationPoint> points, std::vector<FieldRecord>& records,
                           int64_t& lit) {
    for (size_t i = 0; i < points.size(); ++i) {
        const double v[3] = {points[i].vx, points[i].vy, points[i].vz};
        for (const PatchSource& ps : s.pairs) {
            PairValue c;
            if (!pairAtPoint(ps, s.frame.sinAz, s.frame.cosAz, plate.bothSidesFlag != 0, points[i], v, c)) continue;
            ++lit;
            accumulate(st.system.captureWeight, ps.j, c.csb, c.sbo, c.f, records[i]);
        }
    }
}

// ---- wires ----------------------------------------------------------------------

// Segment g's reradiated CSB, SBO and Doppler factors at o; false where o is
// the midpoint itself or a value is not finite (the segment is left out).
inline bool wireAtPoint(const WireArrayFrame& f, const WireSegment& g, const ObservationPoint& o,
                        PairValue& out) {
    const double dx = o.x - g.m[0], dy = o.y - g.m[1], dz = o.z - g.m[2];
    if (dx == 0.0 && dy == 0.0 && dz == 0.0) return false;
    const double rhoS = std::max(1e-10, std::sqrt(dx * dx + dy * dy));
    const double rS = std::sqrt(rhoS * rhoS + dz * dz);
    const double cS = (f.cosAlpha * dx + f.sinAlpha * dy) / rhoS;
    const double sS = (f.sinAlpha * dx - f.cosAlpha * dy) / rhoS;
    const double muS = rhoS / rS * f.sinPsi * cS + dz / rS * f.cosPsi;
    const double s1 = f.delta * sincOf(f.h * (g.muI - muS));
    const double s2 = f.delta * sincOf(f.h * (g.muI - muS + g.imageShift));
    C sumC = g.current * (s1 * g.csbDirect + s2 * g.csbImage);
    C sumS = g.current * (s1 * g.sboDirect + s2 * g.sboImage);
    if (!f.longWire) {
        const C end1 = -f.delta * phasor(f.k * g.d1) * sincOf(f.h * (1.0 - muS));
        const C end2 = -f.delta * phasor(f.k * g.d2) * sincOf(f.h * (1.0 + muS));
        sumC += f.endCsb[0] * end1 + f.endCsb[1] * end2;
        sumS += f.endSbo[0] * end1 + f.endSbo[1] * end2;
    }
    const double side = dx * f.axisX + dy * f.axisY >= 0.0 ? 1.0 : -1.0;
    const double up = o.z + g.m[2];
    const double rImage = std::sqrt(rhoS * rhoS + up * up);
    const double longer = (up * up - dz * dz) / (rImage + rS);  // R'_s - R_s
    const C ground = side * f.sinPsi * sS * phasor(f.k * rS) / rS * (1.0 - rS / rImage * phasor(f.k * longer));
    out.csb = f.sign * sumC * ground;
    out.sbo = f.sign * sumS * ground;
    const double v[3] = {o.vx, o.vy, o.vz};
    out.f = dopplerOf(f.source, g.m, o, v, f.k);
    return finite(out.csb) && finite(out.sbo) && finite(out.f);
}

// ---- comparisons and random scenes --------------------------------------------------

// got against want over slots 0..11 within kSlotTolerance of want's largest
// slot; slots 12..14 as before. worst keeps the largest error ratio seen.
inline ::testing::AssertionResult matches(const FieldRecord& got, const FieldRecord& want,
                                          const FieldRecord& before, double& worst) {
    double scale = 0.0;
    for (int s = 0; s < 12; ++s) scale = std::max(scale, std::abs(want.slot[s]));
    for (int s = 0; s < 12; ++s) {
        const double err = std::abs(got.slot[s] - want.slot[s]);
        if (scale > 0) worst = std::max(worst, err / scale);
        if (!(err <= kSlotTolerance * scale)) {
            char text[256];
            std::snprintf(text, sizeof text, "slot %d: kernel (%.17g, %.17g), transcription (%.17g, %.17g), "
                          "error %.3g of the largest slot %.6g", s, got.slot[s].real(), got.slot[s].imag(),
                          want.slot[s].real(), want.slot[s].imag(), scale > 0 ? err / scale : err, scale);
            return ::testing::AssertionFailure() << text;
        }
    }
    if (std::memcmp(&got.slot[12], &before.slot[12], 3 * sizeof(Complex)) != 0) {
        return ::testing::AssertionFailure() << "slots 12..14 changed";
    }
    return ::testing::AssertionSuccess();
}

inline bool sameBits(const FieldRecord& a, const FieldRecord& b) { return std::memcmp(&a, &b, sizeof a) == 0; }

struct Draw {
    std::mt19937_64 gen;
    double operator()(double lo, double hi) { return std::uniform_real_distribution<double>(lo, hi)(gen); }
    bool coin(double p = 0.5) { return (*this)(0.0, 1.0) < p; }
    int pick(int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(gen); }
    C complex(double size = 1.0) { return C((*this)(-size, size), (*this)(-size, size)); }
};

inline double largestSlot(const std::vector<FieldRecord>& r) {
    double m = 0.0;
    for (const FieldRecord& x : r)
        for (int s = 0; s < 12; ++s) m = std::max(m, std::abs(x.slot[s]));
    return m;
}

// Records holding earlier sums of about scale in slots 0..11 (none for 0)
// and arbitrary magnitudes in 12..14, which the kernels must keep.
inline std::vector<FieldRecord> prefilled(Draw& draw, size_t n, double scale) {
    std::vector<FieldRecord> r(n);
    for (FieldRecord& x : r) {
        for (int s = 0; s < 12; ++s) x.slot[s] = scale > 0 ? draw.complex(scale) : C(0, 0);
        for (int s = 12; s < 15; ++s) x.slot[s] = draw.complex(7.0);
    }
    return r;
}

// A localizer (110 MHz band, near or far mode) or a glide slope (332 MHz
// band); two-frequency systems get a clearance array 8 kHz up with a random
// capture weight. One to four elements per array near the origin.
inline void randomStation(RunData& rd, Draw& draw) {
    const bool glide = draw.coin(0.3);
    const double mhz = glide ? draw(329.0, 335.0) : draw(108.0, 112.0);
    const int32_t capture = draw.coin() ? 1 : 0;
    test::setupStation(rd, kSpeedOfLightFt / (mhz * 1e6), capture);
    rd.system.systemType = glide ? 'G' : 'L';
    rd.system.farFieldCode = !glide && draw.coin(0.3) ? 'F' : 'N';
    rd.system.captureWeight = draw(0.2, 2.0);
    rd.arrays[1].wavelength = kSpeedOfLightFt / ((mhz + 0.008) * 1e6);
    rd.arrays[1].waveNumber = kTwoPi / rd.arrays[1].wavelength;
    for (int j = 0; j <= capture; ++j) {
        const int n = draw.pick(1, 4);
        for (int i = 0; i < n; ++i)
            test::addStationElement(rd, j, draw(-5, 5), draw(-40, 40), draw(2, 20), draw.complex(), draw.complex());
    }
}

// n observers within 3 km of the origin up to 2000 ft high, a third of them
// within 300 ft of (nearX, nearY); most of them moving.
inline std::vector<ObservationPoint> randomPoints(Draw& draw, double nearX, double nearY, int n) {
    std::vector<ObservationPoint> pts;
    for (int i = 0; i < n; ++i) {
        const bool near = draw.coin(0.35);
        ObservationPoint o{};
        o.x = near ? nearX + draw(-300, 300) : draw(-3000, 3000);
        o.y = near ? nearY + draw(-300, 300) : draw(-3000, 3000);
        o.z = draw(1, near ? 200 : 2000);
        if (draw.coin(0.7)) {
            o.vx = draw(-300, 300);
            o.vy = draw(-300, 300);
            o.vz = draw(-20, 20);
        }
        pts.push_back(o);
    }
    return pts;
}

}  // namespace ils::lanes
