// The physical-optics patch sums on vectors, compiled once per instruction
// set and chosen at run time. The fixed plate puts one observation point in
// each lane (a pair's values broadcast); the moving plate, whose pairs change
// with every point, puts one (patch, source) pair in each lane for a single
// point. Both evaluate the same lane-wise formulas, so a plate at rest gives
// the moving plate the fixed plate's bits.
//
// For a point O (velocity v) and a (patch, source) pair (patch centre Q,
// source S, both in feet; k in radians per foot):
//   w = O - Q, rho_s = max(1e-10, |w_xy|), across = (w_x sin a - w_y cos a) / rho_s,
//   along = (w_y sin a + w_x cos a) / rho_s; nothing where across <= 0 (unless
//   both sides scatter).
//   For the direct observation path (w_z, sign +1) and the ground image's
//   (-(Q_z + O_z), sign -1): R = sqrt(rho_s^2 + wz^2), cos e = rho_s / R,
//   sin e = wz / R, u_o = sin e cos t - cos e across sin t, b = u_i - u_o,
//   F = sign sinc(k dl/2 (e_i - cos e along)) dl dh (square feet),
//   s_d = sinc(k dh/2 b), s_r = sinc(k dh/2 (2 z_S cos t / rho_i + b)),
//   X = F P exp(j k R) / R with P the polarisation factor (numerics.h).
//   t_d = s_d X_direct + s_d' X_image, t_r = s_r X_direct + s_r' X_image,
//   CSB = (A E_c) t_d + (A E_c,ground) t_r, SBO = (A E_s) t_d + (A E_s,ground) t_r,
//   A = j (+-1) / (2 lambda), the incident fields E from the pair (volts per
//   metre relative to the feed currents), A E once per pair; Doppler
//   factors of (S, Q, O, v).
// A contribution that is not finite adds zero, as the scalar engine's.
#include "scatter/plate.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <map>
#include <type_traits>
#include <vector>

#undef HWY_TARGET_INCLUDE
#define HWY_TARGET_INCLUDE "scatter/plate_kernel.cpp"
#include "hwy/foreach_target.h"  // IWYU pragma: keep

#include "hwy/highway.h"
#include "simd/dispatch.h"
#include "scatter/numerics.h"
#include "scatter/patch_lanes-inl.h"
#include "scatter/plate_patch.h"
#include "simd/field_lanes-inl.h"
#include "simd/vector_math.h"

// Scalar set-up shared by every target's pass through this file.
#ifndef ILS_SCATTER_PLATE_KERNEL_SHARED_
#define ILS_SCATTER_PLATE_KERNEL_SHARED_
namespace ils {

IncidenceConstants incidenceConstants(const ScatterGeometry& g) {
    IncidenceConstants c;
    c.ni = g.incAlongNormal;
    c.ei = g.incAlongEdge;
    c.si = g.sinIncElev;
    c.ci = g.cosIncElev;
    c.cI = g.cosInc;
    const double ct = g.cosTilt, st = g.sinTilt, s2 = g.sin2Inc;
    c.kA = -ct * c.ei * c.cI / s2;
    c.kB = -ct * c.ei / s2;
    c.e1 = (c.si * ct * c.ni + c.ci * st) / s2;
    c.behind = c.ni < 0 ? 1.0 : 0.0;
    return c;
}

PairConstants pairConstants(const PatchSource& ps) {
    PairConstants c{};
    const ScatterGeometry& g = ps.geometry;
    for (int i = 0; i < 3; ++i) {
        c.q[i] = ps.centre[i];
        c.s[i] = ps.source[i];
    }
    c.k = g.k;
    c.ct = g.cosTilt;
    c.st = g.sinTilt;
    c.ui = ps.ui;
    c.eiEdge = ps.ei;
    c.halfKdl = ps.halfKdl;
    c.halfKdh = ps.halfKdh;
    c.groundShift = ps.groundShift;
    c.dl = ps.dl;
    c.dh = ps.dh;
    // The vector sine and cosine, as the moving plate's lanes compute them.
    const double shift = ps.halfKdh * ps.groundShift;
    vectorSinCos(&shift, 1, &c.sinShift, &c.cosShift);
    const double edge = ps.halfKdl * ps.ei, height = ps.halfKdh * ps.ui;
    vectorSinCos(&edge, 1, &c.sinEdge, &c.cosEdge);
    vectorSinCos(&height, 1, &c.sinHeight, &c.cosHeight);
    c.sourceSlot = 0;
    auto times = [](Complex a, Complex b) {
        return Complex(a.real() * b.real() - a.imag() * b.imag(), a.real() * b.imag() + a.imag() * b.real());
    };
    c.jEc = times(ps.jAmplitude, ps.ec);
    c.jEs = times(ps.jAmplitude, ps.es);
    c.jEcG = times(ps.jAmplitude, ps.ecGround);
    c.jEsG = times(ps.jAmplitude, ps.esGround);
    c.gPerp = ps.gammaPerp;
    c.gPar = ps.gammaPar;
    c.turned = g.sin2Inc < kNearNormalSin2 ? 1.0 : 0.0;
    c.plain = incidenceConstants(g);
    if (c.turned != 0.0) {
        c.plus = incidenceConstants(turnedIncidenceGeometry(g, kNearNormalTurn));
        c.minus = incidenceConstants(turnedIncidenceGeometry(g, -kNearNormalTurn));
    } else {
        c.plus = c.minus = c.plain;
    }
    return c;
}

}  // namespace ils
#endif  // ILS_SCATTER_PLATE_KERNEL_SHARED_

HWY_BEFORE_NAMESPACE();
namespace ils {
namespace HWY_NAMESPACE {

// Points that go through the pairs together, in vectors: each pair's
// constants are broadcast once for the group instead of once per vector, and
// each vector's sums, observer and path geometry stay in the group's state
// (about 20 kB, whatever the vectors' width). A point still receives the
// pairs in order.
inline constexpr size_t kGroupPoints = 32;
inline constexpr size_t kGroupVectors =
    kGroupPoints / hn::MaxLanes(DoubleTag()) > 0 ? kGroupPoints / hn::MaxLanes(DoubleTag()) : 1;

struct PointVectorState {
    PointLanes o;
    RecordLanes acc;
    ObserverLanes ob;
    PatchGeometryLanes geometry;
    DMask litMask;
    bool anyLit, allLit;
    int64_t litLanes;
};

void AddPlatePairsLanes(const Station& st, const Scatterer& plate, const PlateFrame& frame,
                        const PatchSource* pairs, const PairConstants* constants, size_t pairCount,
                        const double* sources, size_t sourceCount, const ObservationPoint* points,
                        FieldRecord* records, size_t n, int64_t* lit) {
    const DoubleTag d;
    const size_t lanes = hn::Lanes(d);
    const bool bothSides = plate.bothSidesFlag != 0;
    const double captureWeight = st.system.captureWeight;
    int64_t litCount = 0;
    // Per source and vector, the Doppler part of its direct path to the points.
    const size_t phaseStride = 3 * lanes;
    std::vector<double> phases(sourceCount * kGroupVectors * phaseStride + 1);
    auto phaseAt = [&](size_t source, size_t v) { return &phases[(source * kGroupVectors + v) * phaseStride]; };
    PointVectorState group[kGroupVectors];
    size_t counts[kGroupVectors];
    for (size_t i = 0; i < n; i += kGroupVectors * lanes) {
        size_t vectors = 0;
        for (size_t at = i; at < n && vectors < kGroupVectors; at += lanes, ++vectors) {
            counts[vectors] = n - at < lanes ? n - at : lanes;
            PointVectorState& g = group[vectors];
            g.o = LoadPoints(d, points + at, counts[vectors]);
            LoadRecords(d, records + at, counts[vectors], g.acc);
        }
        for (size_t s = 0; s < sourceCount; ++s) {
            const double* at = sources + 4 * s;
            for (size_t v = 0; v < vectors; ++v) {
                const PointLanes& o = group[v].o;
                const DopplerPhaseLanes ph = DopplerPhase(
                    d, RateFrom(d, hn::Set(d, at[0]), hn::Set(d, at[1]), hn::Set(d, at[2]), o, o.vx, o.vy,
                                o.vz, hn::Set(d, at[3])));
                double* to = phaseAt(s, v);
                hn::StoreU(ph.u, d, to);
                hn::StoreU(ph.su, d, to + lanes);
                hn::StoreU(ph.cu, d, to + 2 * lanes);
            }
        }
        // The pairs through the group; unchecked, the contributions are added
        // as they come and the sums must prove them finite afterwards.
        auto addPairs = [&](auto checked) {
            constexpr bool kChecked = decltype(checked)::value;
            int32_t patch = -1;
            int array = -1;
            bool anyLit = false;
            int64_t groupLit = 0;
            for (size_t p = 0; p < pairCount; ++p) {
                const PairConstants& c = constants[p];
                if (pairs[p].patch != patch) {
                    patch = pairs[p].patch;
                    array = -1;
                    anyLit = false;
                    const DVec qx = hn::Set(d, c.q[0]), qy = hn::Set(d, c.q[1]), qz = hn::Set(d, c.q[2]);
                    for (size_t v = 0; v < vectors; ++v) {
                        PointVectorState& g = group[v];
                        const DMask valid = hn::FirstN(d, counts[v]);
                        g.ob = ObservePatch(d, frame, g.o, qx, qy, qz);
                        g.litMask = bothSides ? valid : hn::And(hn::Gt(g.ob.across, hn::Zero(d)), valid);
                        g.anyLit = !hn::AllFalse(d, g.litMask);
                        g.allLit = hn::AllTrue(d, g.litMask);
                        g.litLanes = static_cast<int64_t>(hn::CountTrue(d, g.litMask));
                        anyLit = anyLit || g.anyLit;
                    }
                }
                if (!anyLit) continue;
                const PairLanes pr = PairsToLanes(d, &c, 1, true);
                // The paths' geometry serves every source of the patch and array.
                if (pairs[p].j != array) {
                    array = pairs[p].j;
                    for (size_t v = 0; v < vectors; ++v) {
                        PointVectorState& g = group[v];
                        if (!g.anyLit) continue;
                        g.geometry = PatchGeometry(d, pr, g.ob, g.o, g.o.vx, g.o.vy, g.o.vz);
                        // An observer on the patch centre: only the checked sum leaves it out.
                        if (!kChecked && !hn::AllTrue(d, ObserverOffCentre(d, g.geometry))) {
                            return int64_t{-1};
                        }
                    }
                }
                const size_t slot = static_cast<size_t>(c.sourceSlot);
                for (size_t v = 0; v < vectors; ++v) {
                    PointVectorState& g = group[v];
                    if (!g.anyLit) continue;
                    const double* from = phaseAt(slot, v);
                    const DopplerPhaseLanes source{hn::LoadU(d, from), hn::LoadU(d, from + lanes),
                                                   hn::LoadU(d, from + 2 * lanes)};
                    const ContributionLanes e = EvaluatePair<kChecked>(d, pr, g.geometry, source);
                    AccumulateLanes(d, pairs[p].j, captureWeight, e.csb, e.sbo, e.f, g.litMask, g.allLit,
                                    g.acc);
                    groupLit += g.litLanes;
                }
            }
            return groupLit;
        };
        auto sumsFinite = [&]() {
            for (size_t v = 0; v < vectors; ++v) {
                if (!RecordsFinite(d, group[v].acc, hn::FirstN(d, counts[v]))) return false;
            }
            return true;
        };
        bool finite = sumsFinite();
        int64_t groupLit = 0;
        if (finite) {
            groupLit = addPairs(std::false_type{});
            finite = groupLit >= 0 && sumsFinite();
            if (!finite) {
                for (size_t v = 0; v < vectors; ++v) {
                    LoadRecords(d, records + i + v * lanes, counts[v], group[v].acc);
                }
            }
        }
        if (!finite) groupLit = addPairs(std::true_type{});
        litCount += groupLit;
        for (size_t v = 0; v < vectors; ++v) StoreRecords(d, group[v].acc, records + i + v * lanes, counts[v]);
    }
    *lit += litCount;  // once: the threads' counters may share a cache line
}

}  // namespace HWY_NAMESPACE
}  // namespace ils
HWY_AFTER_NAMESPACE();

#if HWY_ONCE
namespace ils {

ILS_VECTOR_EXPORT(AddPlatePairsLanes);

void addPlatePairs(const Station& st, const Scatterer& plate, const PlateFrame& frame,
                   std::span<const PatchSource> pairs, const PreparedPairs& prepared,
                   std::span<const ObservationPoint> points, std::span<FieldRecord> records,
                   int64_t& lit) {
    ILS_VECTOR_DISPATCH(AddPlatePairsLanes)(st, plate, frame, pairs.data(), prepared.constants.data(),
                                             pairs.size(), prepared.sources.data(),
                                             prepared.sources.size() / 4, points.data(), records.data(),
                                             points.size(), &lit);
}

void addPlatePairs(const Station& st, const Scatterer& plate, const PlateFrame& frame,
                   std::span<const PatchSource> pairs, std::span<const ObservationPoint> points,
                   std::span<FieldRecord> records, int64_t& lit) {
    PreparedPairs prepared;
    preparePlatePairs(pairs, prepared);
    addPlatePairs(st, plate, frame, pairs, prepared, points, records, lit);
}

void preparePlatePairs(std::span<const PatchSource> pairs, PreparedPairs& prepared) {
    prepared.constants.resize(pairs.size());
    prepared.sources.clear();
    std::map<std::array<double, 4>, size_t> slots;
    for (size_t p = 0; p < pairs.size(); ++p) {
        PairConstants& c = prepared.constants[p];
        c = pairConstants(pairs[p]);
        const std::array<double, 4> key{c.s[0], c.s[1], c.s[2], c.k};
        const auto [at, added] = slots.try_emplace(key, slots.size());
        if (added) prepared.sources.insert(prepared.sources.end(), key.begin(), key.end());
        c.sourceSlot = static_cast<double>(at->second);
    }
}

}  // namespace ils
#endif
