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
//   CSB = A (E_c t_d + E_c,ground t_r), SBO = A (E_s t_d + E_s,ground t_r),
//   A = j (+-1) / (2 lambda), the incident fields E from the pair (volts per
//   metre relative to the feed currents); Doppler factors of (S, Q, O, v).
// A contribution that is not finite adds zero, as the scalar engine's.
#include "scatter/plate.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <map>
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
    c.jAmp = ps.jAmplitude;
    c.ec = ps.ec;
    c.es = ps.es;
    c.ecG = ps.ecGround;
    c.esG = ps.esGround;
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

void AddPlatePairsLanes(const Station& st, const Scatterer& plate, const PlateFrame& frame,
                        const PatchSource* pairs, const PairConstants* constants, size_t pairCount,
                        const double* sources, size_t sourceCount, const ObservationPoint* points,
                        FieldRecord* records, size_t n, int64_t* lit) {
    const DoubleTag d;
    const size_t lanes = hn::Lanes(d);
    const bool bothSides = plate.bothSidesFlag != 0;
    const double captureWeight = st.system.captureWeight;
    int64_t litCount = 0;
    // Per source, the Doppler part of its direct path to the block's points.
    std::vector<double> phases(sourceCount * 3 * lanes + 1);
    for (size_t i = 0; i < n; i += lanes) {
        const size_t count = n - i < lanes ? n - i : lanes;
        const PointLanes o = LoadPoints(d, points + i, count);
        const DMask valid = hn::FirstN(d, count);
        RecordLanes acc;
        LoadRecords(d, records + i, count, acc);
        for (size_t s = 0; s < sourceCount; ++s) {
            const double* at = sources + 4 * s;
            const DopplerPhaseLanes ph =
                DopplerPhase(d, RateFrom(d, hn::Set(d, at[0]), hn::Set(d, at[1]), hn::Set(d, at[2]), o, o.vx,
                                         o.vy, o.vz, hn::Set(d, at[3])));
            hn::StoreU(ph.u, d, &phases[(3 * s) * lanes]);
            hn::StoreU(ph.su, d, &phases[(3 * s + 1) * lanes]);
            hn::StoreU(ph.cu, d, &phases[(3 * s + 2) * lanes]);
        }
        int32_t patch = -1;
        int array = -1;
        ObserverLanes ob{};
        PatchGeometryLanes geometry{};
        DMask litMask = valid;
        bool anyLit = false, allLit = false;
        int64_t litLanes = 0;
        for (size_t p = 0; p < pairCount; ++p) {
            const PairLanes pr = PairsToLanes(d, &constants[p], 1, true);
            if (pairs[p].patch != patch) {
                patch = pairs[p].patch;
                array = -1;
                ob = ObservePatch(d, frame, o, pr.qx, pr.qy, pr.qz);
                litMask = bothSides ? valid : hn::And(hn::Gt(ob.across, hn::Zero(d)), valid);
                anyLit = !hn::AllFalse(d, litMask);
                allLit = hn::AllTrue(d, litMask);
                litLanes = static_cast<int64_t>(hn::CountTrue(d, litMask));
            }
            if (!anyLit) continue;
            // The paths' geometry serves every source of the patch and array.
            if (pairs[p].j != array) {
                array = pairs[p].j;
                geometry = PatchGeometry(d, pr, ob, o, o.vx, o.vy, o.vz);
            }
            const size_t slot = static_cast<size_t>(constants[p].sourceSlot);
            const DopplerPhaseLanes source{hn::LoadU(d, &phases[(3 * slot) * lanes]),
                                           hn::LoadU(d, &phases[(3 * slot + 1) * lanes]),
                                           hn::LoadU(d, &phases[(3 * slot + 2) * lanes])};
            const ContributionLanes c = EvaluatePair(d, pr, geometry, source);
            AccumulateLanes(d, pairs[p].j, captureWeight, c.csb, c.sbo, c.f, litMask, allLit, acc);
            litCount += litLanes;
        }
        StoreRecords(d, acc, records + i, count);
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
