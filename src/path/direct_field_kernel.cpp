// The direct-field kernel on vectors of observation points (one point per
// lane, an element's values broadcast), compiled once per instruction set and
// chosen at run time. Per point P = (x, y, z), lengths in feet, for each
// radiating array j and pass (direct: z' = z, sign +1; ground image under
// ground option 'G': z' = -z, sign -1):
//   R_i = |(x, y, z') - E_i|,  C = sum_i I_csb,i e^{j k R_i} / R_i,
//   S = sum_i I_sbo,i e^{j k R_i} / R_i  (an element at R_i = 0 adds nothing),
//   seen from the centroid c (unless x = c_x and y = c_y):
//   phi = atan2(y - c_y, x - c_x) - axis, eps = atan2(z' - c_z, rho_xy),
//   C, S times patternValue(phi, eps); pass value sign C, sign S.
// The passes' sums go into the record by the slot rule with f0 = 1 and the
// other Doppler factors 0. Each lane computes in the scalar formulas' order;
// the last vector repeats its last point, so a point's bits depend neither on
// its lane nor on its block.
#include <cstddef>
#include <iterator>
#include <span>

#include "path/direct_field.h"
#include "path/field_run.h"

#undef HWY_TARGET_INCLUDE
#define HWY_TARGET_INCLUDE "path/direct_field_kernel.cpp"
#include "hwy/foreach_target.h"  // IWYU pragma: keep

#include "hwy/highway.h"
#include "simd/dispatch.h"
#include "path/pattern_lanes-inl.h"
#include "simd/field_lanes-inl.h"
#include "simd/vector_math-inl.h"

HWY_BEFORE_NAMESPACE();
namespace ils {
namespace HWY_NAMESPACE {

// CSB and SBO of array a for one pass at the lanes' points (x, y, zp).
HWY_INLINE void ArrayPassLanes(DoubleTag d, const AntennaArray& a, const PointLanes& o, DVec zp,
                               double sign, ComplexLanes& csb, ComplexLanes& sbo) {
    const DVec zero = hn::Zero(d);
    const DVec k = hn::Set(d, a.waveNumber);
    ComplexLanes c{zero, zero}, s{zero, zero};
    for (int i = 0; i < a.elementCount; ++i) {
        const DVec dx = hn::Sub(o.x, hn::Set(d, a.elementX[i]));
        const DVec dy = hn::Sub(o.y, hn::Set(d, a.elementY[i]));
        const DVec dz = hn::Sub(zp, hn::Set(d, a.elementZ[i]));
        const DVec r = hn::Sqrt(hn::Add(hn::Add(hn::Mul(dx, dx), hn::Mul(dy, dy)), hn::Mul(dz, dz)));
        const DMask away = hn::Ne(r, zero);  // 1/R undefined on the element itself
        const ComplexLanes f = DivReal(UnitPhasor(d, hn::Mul(k, r)), r);
        const ComplexLanes nc = Add(c, MulConst(d, a.csbCurrent[i], f));
        const ComplexLanes ns = Add(s, MulConst(d, a.sboCurrent[i], f));
        c = {hn::IfThenElse(away, nc.re, c.re), hn::IfThenElse(away, nc.im, c.im)};
        s = {hn::IfThenElse(away, ns.re, s.re), hn::IfThenElse(away, ns.im, s.im)};
    }
    const DVec dx = hn::Sub(o.x, hn::Set(d, a.centroidX));
    const DVec dy = hn::Sub(o.y, hn::Set(d, a.centroidY));
    // Straight above (or below) the centroid there is no azimuth: no weight.
    const DMask weighted = hn::Not(hn::And(hn::Eq(dx, zero), hn::Eq(dy, zero)));
    if (!hn::AllFalse(d, weighted)) {
        const DVec dz = hn::Sub(zp, hn::Set(d, a.centroidZ));
        const DVec rho = hn::Sqrt(hn::Add(hn::Mul(dx, dx), hn::Mul(dy, dy)));
        const DVec eps = Atan2(d, dz, rho);
        const DVec phi = hn::Sub(Atan2(d, dy, dx), hn::Set(d, a.pattern.patternAxis));
        const DVec g = PatternLanes(d, a.pattern, phi, eps, weighted);
        const ComplexLanes cg = Scale(c, g), sg = Scale(s, g);
        c = {hn::IfThenElse(weighted, cg.re, c.re), hn::IfThenElse(weighted, cg.im, c.im)};
        s = {hn::IfThenElse(weighted, sg.re, s.re), hn::IfThenElse(weighted, sg.im, s.im)};
    }
    const DVec sv = hn::Set(d, sign);
    csb = Scale(c, sv);
    sbo = Scale(s, sv);
}

void DirectFieldLanes(const Station& st, const ObservationPoint* points, FieldRecord* out,
                      size_t n) {
    const DoubleTag d;
    const size_t lanes = hn::Lanes(d);
    const DVec zero = hn::Zero(d);
    const bool ground = st.system.groundPlaneCode == 'G';
    const DopplerLanes direct{zero, zero, hn::Set(d, 1.0), zero};  // f90, f150, f0, f60
    const DMask all = hn::FirstN(d, lanes);
    for (size_t i = 0; i < n; i += lanes) {
        const size_t count = n - i < lanes ? n - i : lanes;
        const PointLanes o = LoadPoints(d, points + i, count);
        RecordLanes acc;
        for (ComplexLanes& slot : acc.slot) slot = {zero, zero};
        for (int j = 0; j < st.arrayCount(); ++j) {
            const AntennaArray& a = st.arrays[j];
            ComplexLanes csb[2] = {{zero, zero}, {zero, zero}}, sbo[2] = {{zero, zero}, {zero, zero}};
            if (a.elementCount > 0) {
                ArrayPassLanes(d, a, o, o.z, 1.0, csb[0], sbo[0]);
                if (ground) ArrayPassLanes(d, a, o, hn::Neg(o.z), -1.0, csb[1], sbo[1]);
            }
            AccumulateLanes(d, j, st.system.captureWeight, Add(csb[0], csb[1]), Add(sbo[0], sbo[1]),
                            direct, all, acc);
        }
        StoreRecords(d, acc, out + i, count);
        // Slots 12..14 (never accumulated) zeroed alone: a whole record's zeroing
        // is a rep stosq per point.
        for (size_t p = 0; p < count; ++p) {
            for (size_t s = kAccumulatedSlots; s < std::size(out[i + p].slot); ++s) out[i + p].slot[s] = Complex{};
        }
    }
}

}  // namespace HWY_NAMESPACE
}  // namespace ils
HWY_AFTER_NAMESPACE();

#if HWY_ONCE
namespace ils {

ILS_VECTOR_EXPORT(DirectFieldLanes);

void directFieldRecords(const Station& st, std::span<const ObservationPoint> points,
                        std::span<FieldRecord> out) {
    ILS_VECTOR_DISPATCH(DirectFieldLanes)(st, points.data(), out.data(), points.size());
}

}  // namespace ils
#endif
