// The lane-wise set-up of a patch's sources (one element per lane, near
// mode), for one Highway target: include after simd/field_lanes-inl.h.
// Equations in src/scatter/patch_setup_kernel.cpp.

#if defined(ILS_SCATTER_PATCH_SETUP_INL_H_) == defined(HWY_TARGET_TOGGLE)
#ifdef ILS_SCATTER_PATCH_SETUP_INL_H_
#undef ILS_SCATTER_PATCH_SETUP_INL_H_
#else
#define ILS_SCATTER_PATCH_SETUP_INL_H_
#endif

#include <cstddef>

#include "hwy/highway.h"
#include "path/direct_field.h"
#include "path/pattern_lanes-inl.h"
#include "scatter/numerics.h"
#include "scatter/plate_patch.h"
#include "simd/field_lanes-inl.h"
#include "simd/vector_math-inl.h"

HWY_BEFORE_NAMESPACE();
namespace ils {
namespace HWY_NAMESPACE {

// a / b, by the textbook formula (the values here are far from overflow).
HWY_INLINE ComplexLanes DivComplex(ComplexLanes a, ComplexLanes b) {
    const DVec den = hn::Add(hn::Mul(b.re, b.re), hn::Mul(b.im, b.im));
    return {hn::Div(hn::Add(hn::Mul(a.re, b.re), hn::Mul(a.im, b.im)), den),
            hn::Div(hn::Sub(hn::Mul(a.im, b.re), hn::Mul(a.re, b.im)), den)};
}

// The principal square root: t = sqrt((|x| + |z|) / 2); (t, y / 2t) for
// x >= 0, else (|y| / 2t, t with y's sign); 0 at 0.
HWY_INLINE ComplexLanes SqrtComplex(DoubleTag d, ComplexLanes z) {
    const DVec modulus = hn::Sqrt(hn::Add(hn::Mul(z.re, z.re), hn::Mul(z.im, z.im)));
    const DVec t = hn::Sqrt(hn::Mul(hn::Add(hn::Abs(z.re), modulus), hn::Set(d, 0.5)));
    const DVec other = hn::Div(z.im, hn::Add(t, t));
    const auto positive = hn::Ge(z.re, hn::Zero(d));
    ComplexLanes r{hn::IfThenElse(positive, t, hn::Abs(other)),
                   hn::IfThenElse(positive, other, hn::CopySign(t, z.im))};
    const auto zero = hn::Eq(t, hn::Zero(d));
    return {hn::IfThenElse(zero, hn::Zero(d), r.re), hn::IfThenElse(zero, z.im, r.im)};
}

// The set-up values of elements first .. first + n - 1 of array j for the
// patch centred at Q (spare lanes repeat the last element).
struct SourceLanes {
    DVec ex, ey, ez;
    DVec ni, ei, si, ci, cosInc, sin2Inc, rhoI;
    ComplexLanes ec, es, ecG, esG, gPerp, gPar;
    DVec ui, edge, groundShift;
};

HWY_INLINE SourceLanes SetupSourceLanes(DoubleTag d, const Station& st, const PlateFrame& f, int j,
                                        const double* centre, size_t first, size_t n) {
    const AntennaArray& a = st.arrays[j];
    const size_t lanes = hn::Lanes(d);
    const DVec one = hn::Set(d, 1.0), zero = hn::Zero(d);
    const DVec cx = hn::Set(d, centre[0]), cy = hn::Set(d, centre[1]), cz = hn::Set(d, centre[2]);
    const DVec ct = hn::Set(d, f.cosTilt), st_ = hn::Set(d, f.sinTilt);
    const DVec k = hn::Set(d, a.waveNumber);
    const ComplexLanes eta = SetComplex(d, f.material[j].eta), m = SetComplex(d, f.material[j].m);
    const DVec z0 = hn::Set(d, kFreeSpaceImpedance);
    const DVec ex = LoadPadded(d, a.elementX + first, n, a.elementX[first + n - 1]);
    const DVec ey = LoadPadded(d, a.elementY + first, n, a.elementY[first + n - 1]);
    const DVec ez = LoadPadded(d, a.elementZ + first, n, a.elementZ[first + n - 1]);
    const DVec dx = hn::Sub(cx, ex), dy = hn::Sub(cy, ey), dz = hn::Sub(cz, ez);
    const DVec rho2 = hn::Add(hn::Mul(dx, dx), hn::Mul(dy, dy));
    const DVec rhoI = hn::Max(hn::Set(d, 1e-10), hn::Sqrt(rho2));
    const DVec ri = hn::Sqrt(hn::Add(hn::Mul(rhoI, rhoI), hn::Mul(dz, dz)));
    const DVec sa = hn::Set(d, f.sinAz), ca = hn::Set(d, f.cosAz);
    const DVec ni = hn::Div(hn::Sub(hn::Mul(dy, ca), hn::Mul(dx, sa)), rhoI);
    const DVec ei = hn::Div(hn::Add(hn::Mul(dy, sa), hn::Mul(dx, ca)), rhoI);
    const DVec si = hn::Div(dz, ri), ci = hn::Div(rhoI, ri);
    const DVec cosInc = hn::Sub(hn::Mul(hn::Mul(ci, ct), ni), hn::Mul(si, st_));
    const DVec sin2Inc = hn::Sub(one, hn::Mul(cosInc, cosInc));

    // The element's field at Q, its pattern seen from the element.
    const DVec r = hn::Sqrt(hn::Add(hn::Add(hn::Mul(dx, dx), hn::Mul(dy, dy)), hn::Mul(dz, dz)));
    const ComplexLanes spread = DivReal(UnitPhasor(d, hn::Mul(k, r)), r);
    const DVec phi = hn::Sub(Atan2(d, dy, dx), hn::Set(d, a.pattern.patternAxis));
    const DVec eps = Atan2(d, dz, hn::Sqrt(rho2));
    // No weighting where the centre is straight above or below the element.
    const DMask weighted = hn::Not(hn::And(hn::Eq(dx, zero), hn::Eq(dy, zero)));
    const DVec g = hn::IfThenElse(weighted, PatternLanes(d, a.pattern, phi, eps, weighted), one);
    HWY_ALIGN double cur[4][kMaxDoubleLanes];
    for (size_t l = 0; l < lanes; ++l) {
        const size_t e = first + (l < n ? l : n - 1);
        cur[0][l] = a.csbCurrent[e].real();
        cur[1][l] = a.csbCurrent[e].imag();
        cur[2][l] = a.sboCurrent[e].real();
        cur[3][l] = a.sboCurrent[e].imag();
    }
    const auto onElement = hn::Eq(r, zero);
    auto field = [&](const double* re, const double* im) {
        const ComplexLanes c = Scale(Mul({hn::Load(d, re), hn::Load(d, im)}, spread), g);
        return ComplexLanes{hn::IfThenElse(onElement, zero, c.re), hn::IfThenElse(onElement, zero, c.im)};
    };
    const ComplexLanes ec = field(cur[0], cur[1]);
    const ComplexLanes es = field(cur[2], cur[3]);
    // Two-ray ground reflection of the incident field (image source, -1).
    const DVec phiG = hn::Div(hn::Mul(hn::Mul(hn::Mul(hn::Set(d, 2.0), k), ez), cz), rhoI);
    const ComplexLanes turn = UnitPhasor(d, phiG);
    const ComplexLanes ecG = Mul({hn::Neg(ec.re), hn::Neg(ec.im)}, turn);
    const ComplexLanes esG = Mul({hn::Neg(es.re), hn::Neg(es.im)}, turn);

    const ComplexLanes q = DivComplex({hn::Mul(sin2Inc, hn::Set(d, kMuZeroEpsZero)), zero}, m);
    const ComplexLanes cT = SqrtComplex(d, {hn::Sub(one, q.re), hn::Neg(q.im)});
    const ComplexLanes etaCos = Scale(eta, cosInc);
    const ComplexLanes z0cT = Scale(cT, z0);
    const ComplexLanes gPerp = DivComplex(Sub(etaCos, z0cT), Add(etaCos, z0cT));
    const DVec z0Cos = hn::Mul(z0, cosInc);
    const ComplexLanes etaCT = Mul(eta, cT);
    const ComplexLanes gPar = DivComplex({hn::Sub(z0Cos, etaCT.re), hn::Neg(etaCT.im)},
                                         {hn::Add(z0Cos, etaCT.re), etaCT.im});

    const DVec ui = hn::Add(hn::Mul(hn::Mul(ci, st_), ni), hn::Mul(si, ct));
    const DVec edge = hn::Mul(ci, ei);
    const DVec groundShift = hn::Div(hn::Mul(hn::Mul(hn::Set(d, 2.0), ez), ct), rhoI);

    SourceLanes out{ex, ey, ez, ni, ei, si, ci, cosInc, sin2Inc, rhoI, ec, es, ecG, esG, gPerp, gPar,
                    ui, edge, groundShift};
    return out;
}

}  // namespace HWY_NAMESPACE
}  // namespace ils
HWY_AFTER_NAMESPACE();

#endif  // per-target include guard
