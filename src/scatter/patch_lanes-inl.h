// The lane-wise evaluation of (patch, source) pairs that the fixed and the
// moving plate share, for one Highway target (include after
// simd/field_lanes-inl.h). Equations in src/scatter/plate_kernel.cpp.

#if defined(ILS_SCATTER_PATCH_LANES_INL_H_) == defined(HWY_TARGET_TOGGLE)
#ifdef ILS_SCATTER_PATCH_LANES_INL_H_
#undef ILS_SCATTER_PATCH_LANES_INL_H_
#else
#define ILS_SCATTER_PATCH_LANES_INL_H_
#endif

#include <cstddef>

#include "hwy/highway.h"
#include "scatter/numerics.h"
#include "scatter/plate_patch.h"
#include "simd/field_lanes-inl.h"
#include "simd/vector_math-inl.h"

HWY_BEFORE_NAMESPACE();
namespace ils {
namespace HWY_NAMESPACE {

struct IncidenceLanes {
    DVec ni, ei, si, ci, cI, kA, kB, e1;
    DMask behind;
};
struct PairLanes {
    DVec qx, qy, qz, sx, sy, sz;
    DVec k, ct, st, ui, eiEdge, halfKdl, halfKdh, groundShift, dl, dh;
    DVec sinShift, cosShift;
    DVec sinEdge, cosEdge, sinHeight, cosHeight;
    ComplexLanes jEc, jEs, jEcG, jEsG, gPerp, gPar;
    DMask turned;
    bool anyTurned;
    IncidenceLanes plain, plus, minus;
};

// The doubles of PairConstants in declaration order, lane by lane: a pair
// broadcast to every lane, or lane i holding pair i (the last repeated).
inline constexpr size_t kPairDoubles = sizeof(PairConstants) / sizeof(double);
static_assert(sizeof(PairConstants) == kPairDoubles * sizeof(double));

HWY_INLINE PairLanes PairsToLanes(DoubleTag d, const PairConstants* pairs, size_t count, bool broadcast) {
    const size_t lanes = hn::Lanes(d);
    HWY_ALIGN double v[kPairDoubles][kMaxDoubleLanes];
    const double* first = reinterpret_cast<const double*>(pairs);
    if (!broadcast) {
        for (size_t i = 0; i < lanes; ++i) {
            const double* raw = reinterpret_cast<const double*>(&pairs[i < count ? i : count - 1]);
            for (size_t m = 0; m < kPairDoubles; ++m) v[m][i] = raw[m];
        }
    }
    size_t m = 0;
    auto next = [&]() {
        const size_t at = m++;
        return broadcast ? hn::Set(d, first[at]) : hn::Load(d, v[at]);
    };
    auto nextComplex = [&]() {
        const DVec re = next();
        return ComplexLanes{re, next()};
    };
    auto nextIncidence = [&]() {
        IncidenceLanes in;
        in.ni = next();
        in.ei = next();
        in.si = next();
        in.ci = next();
        in.cI = next();
        in.kA = next();
        in.kB = next();
        in.e1 = next();
        in.behind = hn::Ne(next(), hn::Zero(d));
        return in;
    };
    PairLanes p;
    p.qx = next();
    p.qy = next();
    p.qz = next();
    p.sx = next();
    p.sy = next();
    p.sz = next();
    p.k = next();
    p.ct = next();
    p.st = next();
    p.ui = next();
    p.eiEdge = next();
    p.halfKdl = next();
    p.halfKdh = next();
    p.groundShift = next();
    p.dl = next();
    p.dh = next();
    p.sinShift = next();
    p.cosShift = next();
    p.sinEdge = next();
    p.cosEdge = next();
    p.sinHeight = next();
    p.cosHeight = next();
    next();  // the source slot: the fixed plate's kernel reads it itself
    p.jEc = nextComplex();
    p.jEs = nextComplex();
    p.jEcG = nextComplex();
    p.jEsG = nextComplex();
    p.gPerp = nextComplex();
    p.gPar = nextComplex();
    p.turned = hn::Ne(next(), hn::Zero(d));
    p.anyTurned = !hn::AllFalse(d, p.turned);
    p.plain = nextIncidence();
    p.plus = nextIncidence();
    p.minus = nextIncidence();
    return p;
}

// incidenceConstants on lanes, the same operations in the same order.
HWY_INLINE IncidenceLanes IncidenceConstantsLanes(DoubleTag d, DVec ct, DVec st, DVec ni, DVec ei,
                                                  DVec si, DVec ci, DVec cI, DVec s2) {
    IncidenceLanes in;
    in.ni = ni;
    in.ei = ei;
    in.si = si;
    in.ci = ci;
    in.cI = cI;
    in.kA = hn::Div(hn::Mul(hn::Mul(hn::Neg(ct), ei), cI), s2);
    in.kB = hn::Div(hn::Mul(hn::Neg(ct), ei), s2);
    in.e1 = hn::Div(hn::Add(hn::Mul(hn::Mul(si, ct), ni), hn::Mul(ci, st)), s2);
    in.behind = hn::Lt(ni, hn::Zero(d));
    return in;
}

// The incidences turned by +-kNearNormalTurn (pairConstants' plus and
// minus), lane by lane, in the lanes within about 1e-4 rad of the normal;
// the other lanes are left as they are.
inline HWY_NOINLINE void TurnedIncidenceLanes(DoubleTag d, const PlateFrame& f, double k, const DVec (&values)[6],
                                       IncidenceLanes& plus, IncidenceLanes& minus) {
    const size_t lanes = hn::Lanes(d);
    HWY_ALIGN double v[6][kMaxDoubleLanes];
    for (int m = 0; m < 6; ++m) hn::Store(values[m], d, v[m]);
    HWY_ALIGN double out[2][9][kMaxDoubleLanes];
    IncidenceLanes* const turned[2] = {&plus, &minus};
    for (int t = 0; t < 2; ++t) {
        const IncidenceLanes& in = *turned[t];
        const DVec kept[9] = {in.ni, in.ei, in.si, in.ci, in.cI, in.kA, in.kB, in.e1,
                              hn::IfThenElse(in.behind, hn::Set(d, 1.0), hn::Zero(d))};
        for (int m = 0; m < 9; ++m) hn::Store(kept[m], d, out[t][m]);
    }
    for (size_t l = 0; l < lanes; ++l) {
        if (!(v[5][l] < kNearNormalSin2)) continue;
        const ScatterGeometry g = incidenceGeometry(f, k, v[0][l], v[1][l], v[2][l], v[3][l], v[4][l], v[5][l]);
        for (int t = 0; t < 2; ++t) {
            const IncidenceConstants c =
                incidenceConstants(turnedIncidenceGeometry(g, t == 0 ? kNearNormalTurn : -kNearNormalTurn));
            const double lane[9] = {c.ni, c.ei, c.si, c.ci, c.cI, c.kA, c.kB, c.e1, c.behind};
            for (int m = 0; m < 9; ++m) out[t][m][l] = lane[m];
        }
    }
    for (int t = 0; t < 2; ++t) {
        IncidenceLanes& in = *turned[t];
        in.ni = hn::Load(d, out[t][0]);
        in.ei = hn::Load(d, out[t][1]);
        in.si = hn::Load(d, out[t][2]);
        in.ci = hn::Load(d, out[t][3]);
        in.cI = hn::Load(d, out[t][4]);
        in.kA = hn::Load(d, out[t][5]);
        in.kB = hn::Load(d, out[t][6]);
        in.e1 = hn::Load(d, out[t][7]);
        in.behind = hn::Ne(hn::Load(d, out[t][8]), hn::Zero(d));
    }
}

// What the polarisation factor takes from one observation path alone: the
// observer's along/across cosines eo, no, its elevation sine and cosine so,
// co, and o1 = -co ct no - st so, ct co eo and st + so o1 (ct, st the tilt's).
struct PolarizationPathLanes {
    DVec eo, no, so, co, o1, ctCoEo, stSoO1;
};
HWY_INLINE PolarizationPathLanes PolarizationPath(DVec ct, DVec st, DVec eo, DVec no, DVec so, DVec co) {
    PolarizationPathLanes q{eo, no, so, co, {}, {}, {}};
    q.o1 = hn::Sub(hn::Mul(hn::Mul(hn::Neg(co), ct), no), hn::Mul(st, so));
    q.ctCoEo = hn::Mul(hn::Mul(ct, co), eo);
    q.stSoO1 = hn::Add(st, hn::Mul(so, q.o1));
    return q;
}

// The physical-optics factor away from the normal, per lane (numerics.cpp's
// plainPolarizationFactor, its products regrouped around the path's parts):
// (gPar - 1) wA - (gPar + 1) wB - (gPerp + 1) wC + (gPerp - 1) wD
//   = gPar (wA - wB) + gPerp (wD - wC) - (wA + wB + wC + wD) for real w.
// A and B depend on the observer's along/across cosines, which both
// observation paths share, and on the incidence only.
struct PolarizationIncidenceLanes {
    DVec A, B;
};
HWY_INLINE PolarizationIncidenceLanes PolarizationIncidence(const IncidenceLanes& in,
                                                            const PolarizationPathLanes& q) {
    return {hn::Add(hn::Mul(q.eo, in.ni), hn::Mul(q.no, in.ei)), hn::Sub(hn::Mul(q.no, in.ni), hn::Mul(q.eo, in.ei))};
}
HWY_INLINE ComplexLanes PlainPolarization(DoubleTag d, const IncidenceLanes& in, const PairLanes& pr,
                                          const PolarizationPathLanes& q, const PolarizationIncidenceLanes& ab) {
    const DVec A = ab.A, B = ab.B;
    const DVec cc = hn::Mul(in.ci, q.co);
    const DVec r1 = hn::Sub(hn::Mul(in.si, q.so), hn::Mul(B, cc));
    const DVec m1 = hn::Mul(A, cc);
    const DVec wA = hn::Mul(hn::Sub(hn::Mul(r1, q.ctCoEo), hn::Mul(m1, q.o1)), in.kA);
    const DVec wB = hn::Mul(hn::Sub(hn::Mul(in.cI, q.ctCoEo), m1), in.kB);
    const DVec wC = hn::Mul(hn::Sub(hn::Sub(hn::Mul(r1, q.so), in.si), hn::Mul(q.stSoO1, in.cI)), in.e1);
    const DVec wD = hn::Mul(hn::Mul(hn::Sub(hn::Mul(hn::Neg(pr.st), r1), hn::Mul(in.si, q.o1)), in.e1), in.cI);
    const DVec par = hn::Sub(wA, wB), perp = hn::Sub(wD, wC);
    const DVec all = hn::Add(hn::Add(wA, wB), hn::Add(wC, wD));
    const DVec re = hn::Sub(hn::Add(hn::Mul(pr.gPar.re, par), hn::Mul(pr.gPerp.re, perp)), all);
    const DVec im = hn::Add(hn::Mul(pr.gPar.im, par), hn::Mul(pr.gPerp.im, perp));
    return {hn::IfThenElse(in.behind, hn::Zero(d), re), hn::IfThenElse(in.behind, hn::Zero(d), im)};
}

// Within about 1e-4 rad of the normal the mean of the
// factors for the incidence turned both ways (numerics.h).
HWY_INLINE ComplexLanes Polarization(DoubleTag d, const PairLanes& pr, const PolarizationPathLanes& q,
                                     const PolarizationIncidenceLanes& plain) {
    ComplexLanes p = PlainPolarization(d, pr.plain, pr, q, plain);
    if (HWY_UNLIKELY(pr.anyTurned)) {
        const ComplexLanes plus = PlainPolarization(d, pr.plus, pr, q, PolarizationIncidence(pr.plus, q));
        const ComplexLanes minus = PlainPolarization(d, pr.minus, pr, q, PolarizationIncidence(pr.minus, q));
        const ComplexLanes mean = Scale(Add(plus, minus), hn::Set(d, 0.5));
        p = {hn::IfThenElse(pr.turned, mean.re, p.re), hn::IfThenElse(pr.turned, mean.im, p.im)};
    }
    return p;
}

// The observer seen from a patch centre.
struct ObserverLanes {
    DVec wz, rhoS, across, along;
};

HWY_INLINE ObserverLanes ObservePatch(DoubleTag d, const PlateFrame& f, const PointLanes& o, DVec qx, DVec qy,
                           DVec qz) {
    const DVec w0 = hn::Sub(o.x, qx);
    const DVec w1 = hn::Sub(o.y, qy);
    ObserverLanes ob;
    ob.wz = hn::Sub(o.z, qz);
    ob.rhoS = hn::Max(hn::Set(d, 1e-10), hn::Sqrt(hn::Add(hn::Mul(w0, w0), hn::Mul(w1, w1))));
    const DVec sa = hn::Set(d, f.sinAz), ca = hn::Set(d, f.cosAz);
    ob.across = hn::Div(hn::Sub(hn::Mul(w0, sa), hn::Mul(w1, ca)), ob.rhoS);
    ob.along = hn::Div(hn::Add(hn::Mul(w1, sa), hn::Mul(w0, ca)), ob.rhoS);
    return ob;
}

// What one observation path shares among the sources of a patch and array:
// R, cos e, sin e, u_o, e^{j k R} / R, and the observer's parts of the sinc
// arguments, b = k dl/2 cos e along and B = k dh/2 u_o, with their sines and
// cosines.
struct PathGeometryLanes {
    DVec wz, rs, co, so, uo;
    PolarizationPathLanes polarization;
    ComplexLanes phaseOverR;
    DVec edge, sinEdge, cosEdge, height, sinHeight, cosHeight;
};
// Both paths, and the Doppler part of the path from the patch centre.
struct PatchGeometryLanes {
    PathGeometryLanes direct, image;
    DopplerPhaseLanes scattered;
};

HWY_INLINE PathGeometryLanes PathGeometry(DoubleTag d, const PairLanes& pr, const ObserverLanes& ob, DVec wz) {
    PathGeometryLanes g;
    g.wz = wz;
    g.rs = hn::Sqrt(hn::Add(hn::Mul(ob.rhoS, ob.rhoS), hn::Mul(wz, wz)));
    g.co = hn::Div(ob.rhoS, g.rs);
    g.so = hn::Div(wz, g.rs);
    g.uo = hn::Sub(hn::Mul(g.so, pr.ct), hn::Mul(hn::Mul(g.co, ob.across), pr.st));
    g.polarization = PolarizationPath(pr.ct, pr.st, ob.along, ob.across, g.so, g.co);
    g.phaseOverR = DivReal(UnitPhasor(d, hn::Mul(pr.k, g.rs)), g.rs);
    g.edge = hn::Mul(pr.halfKdl, hn::Mul(g.co, ob.along));
    SinCos(d, g.edge, &g.sinEdge, &g.cosEdge);
    g.height = hn::Mul(pr.halfKdh, g.uo);
    SinCos(d, g.height, &g.sinHeight, &g.cosHeight);
    return g;
}

// Reads of the pair: the patch centre, k, the tilt and k dl/2, k dh/2 only.
HWY_INLINE PatchGeometryLanes PatchGeometry(DoubleTag d, const PairLanes& pr, const ObserverLanes& ob,
                                 const PointLanes& o, DVec vx, DVec vy, DVec vz) {
    PatchGeometryLanes g;
    g.direct = PathGeometry(d, pr, ob, ob.wz);
    g.image = PathGeometry(d, pr, ob, hn::Neg(hn::Add(pr.qz, o.z)));
    g.scattered = DopplerPhase(d, RateFrom(d, pr.qx, pr.qy, pr.qz, o, vx, vy, vz, pr.k));
    return g;
}

// The Doppler part of the direct path from the pair's source.
HWY_INLINE DopplerPhaseLanes SourcePhase(DoubleTag d, const PairLanes& pr, const PointLanes& o, DVec vx,
                                         DVec vy, DVec vz) {
    return DopplerPhase(d, RateFrom(d, pr.sx, pr.sy, pr.sz, o, vx, vy, vz, pr.k));
}

// One observation path: its height factors for direct and ground-reflected
// incidence, and X.
struct PathLanes {
    DVec sDirect, sReflected;
    ComplexLanes x;
};

// Every sine here comes from the pair's and the path's by the sums of angles:
// sin(a - b) = sin a cos b - cos a sin b for the edge factor and the direct
// height factor, and sin(x + G) = sin x cos G + cos x sin G with G = k dh/2
// groundShift for the reflected one.
HWY_INLINE PathLanes PatchPath(DoubleTag d, const PairLanes& pr, const PathGeometryLanes& g,
                               const PolarizationIncidenceLanes& plain, double groundSign) {
    const DVec edge = hn::Sub(hn::Mul(pr.halfKdl, pr.eiEdge), g.edge);
    const DVec sinEdge = hn::Sub(hn::Mul(pr.sinEdge, g.cosEdge), hn::Mul(pr.cosEdge, g.sinEdge));
    const DVec fE = hn::Mul(hn::Mul(hn::Mul(hn::Set(d, groundSign), SincOfAngleSum(d, edge, sinEdge)), pr.dl), pr.dh);
    PathLanes out;
    const DVec x1 = hn::Sub(hn::Mul(pr.halfKdh, pr.ui), g.height);
    const DVec sin1 = hn::Sub(hn::Mul(pr.sinHeight, g.cosHeight), hn::Mul(pr.cosHeight, g.sinHeight));
    const DVec cos1 = hn::Add(hn::Mul(pr.cosHeight, g.cosHeight), hn::Mul(pr.sinHeight, g.sinHeight));
    out.sDirect = SincOfAngleSum(d, x1, sin1);
    const DVec x2 = hn::Add(x1, hn::Mul(pr.halfKdh, pr.groundShift));
    const DVec sin2 = hn::Add(hn::Mul(sin1, pr.cosShift), hn::Mul(cos1, pr.sinShift));
    out.sReflected = SincOfAngleSum(d, x2, sin2);
    const ComplexLanes p = Polarization(d, pr, g.polarization, plain);
    out.x = Mul(Scale(p, fE), g.phaseOverR);
    return out;
}

// The lanes whose observer is off the patch centre: there (R at most 1e-10
// ft, the floor of rho_s) a pair has no defined term, left out as a term
// that is not finite.
HWY_INLINE DMask ObserverOffCentre(DoubleTag d, const PatchGeometryLanes& g) {
    return hn::Gt(g.direct.rs, hn::Set(d, 1e-10));
}

struct ContributionLanes {
    ComplexLanes csb, sbo;
    DopplerLanes f;
};

// The pair's CSB, SBO and Doppler factors at the observer o, given its
// patch's geometry and the Doppler part of its source's direct path; all
// zero where a value is not finite. Unchecked, the values as they come: for
// a caller that proves afterwards that every one was finite and defined.
template <bool kChecked = true>
HWY_INLINE ContributionLanes EvaluatePair(DoubleTag d, const PairLanes& pr, const PatchGeometryLanes& g,
                                          const DopplerPhaseLanes& source) {
    const PolarizationIncidenceLanes plain = PolarizationIncidence(pr.plain, g.direct.polarization);
    const PathLanes direct = PatchPath(d, pr, g.direct, plain, 1.0);
    const PathLanes image = PatchPath(d, pr, g.image, plain, -1.0);
    const ComplexLanes td = Add(Scale(direct.x, direct.sDirect), Scale(image.x, image.sDirect));
    const ComplexLanes tr = Add(Scale(direct.x, direct.sReflected), Scale(image.x, image.sReflected));
    ContributionLanes c;
    c.csb = Add(Mul(pr.jEc, td), Mul(pr.jEcG, tr));
    c.sbo = Add(Mul(pr.jEs, td), Mul(pr.jEsG, tr));
    c.f = DopplerFromPhases(d, g.scattered, source);
    if constexpr (!kChecked) return c;
    const DMask finite = hn::And(FiniteContribution(d, c.csb, c.sbo, c.f), ObserverOffCentre(d, g));
    const DVec zero = hn::Zero(d);
    auto keep = [&](DVec v) { return hn::IfThenElse(finite, v, zero); };
    c.csb = {keep(c.csb.re), keep(c.csb.im)};
    c.sbo = {keep(c.sbo.re), keep(c.sbo.im)};
    c.f = {keep(c.f.f90), keep(c.f.f150), keep(c.f.f0), keep(c.f.f60)};
    return c;
}

}  // namespace HWY_NAMESPACE
}  // namespace ils
HWY_AFTER_NAMESPACE();

#endif  // per-target include guard
