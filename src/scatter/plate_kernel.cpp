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

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <vector>

#undef HWY_TARGET_INCLUDE
#define HWY_TARGET_INCLUDE "scatter/plate_kernel.cpp"
#include "hwy/foreach_target.h"  // IWYU pragma: keep

#include "hwy/highway.h"
#include "scatter/numerics.h"
#include "path/direct_field.h"
#include "scatter/patch_setup-inl.h"
#include "scatter/plate_patch.h"
#include "simd/field_lanes-inl.h"
#include "simd/vector_math-inl.h"
#include "simd/vector_math.h"

// Scalar set-up shared by every target's pass through this file.
#ifndef ILS_SCATTER_PLATE_KERNEL_SHARED_
#define ILS_SCATTER_PLATE_KERNEL_SHARED_
namespace ils {
namespace {

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

}  // namespace

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
namespace {

struct IncidenceLanes {
    DVec ni, ei, si, ci, cI, kA, kB, e1;
    DMask behind;
};
struct PairLanes {
    DVec qx, qy, qz, sx, sy, sz;
    DVec k, ct, st, ui, eiEdge, halfKdl, halfKdh, groundShift, dl, dh;
    DVec sinShift, cosShift;
    ComplexLanes jAmp, ec, es, ecG, esG, gPerp, gPar;
    DMask turned;
    bool anyTurned;
    IncidenceLanes plain, plus, minus;
};

// The doubles of PairConstants in declaration order, lane by lane: a pair
// broadcast to every lane, or lane i holding pair i (the last repeated).
constexpr size_t kPairDoubles = sizeof(PairConstants) / sizeof(double);
static_assert(sizeof(PairConstants) == kPairDoubles * sizeof(double));

PairLanes PairsToLanes(DoubleTag d, const PairConstants* pairs, size_t count, bool broadcast) {
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
    p.jAmp = nextComplex();
    p.ec = nextComplex();
    p.es = nextComplex();
    p.ecG = nextComplex();
    p.esG = nextComplex();
    p.gPerp = nextComplex();
    p.gPar = nextComplex();
    p.turned = hn::Ne(next(), hn::Zero(d));
    p.anyTurned = !hn::AllFalse(d, p.turned);
    p.plain = nextIncidence();
    p.plus = nextIncidence();
    p.minus = nextIncidence();
    return p;
}

// (a - 1) w and (a + 1) w for complex lanes a and real lanes w, as
// std::complex's (a -+ 1.0) * w.
ComplexLanes MinusOneTimes(DoubleTag d, ComplexLanes a, DVec w) {
    return {hn::Mul(hn::Sub(a.re, hn::Set(d, 1.0)), w), hn::Mul(a.im, w)};
}
ComplexLanes PlusOneTimes(DoubleTag d, ComplexLanes a, DVec w) {
    return {hn::Mul(hn::Add(a.re, hn::Set(d, 1.0)), w), hn::Mul(a.im, w)};
}

// The physical-optics factor away from the normal, per lane: eo, no the
// observer's along/across cosines, so, co its elevation sine and cosine.
ComplexLanes PlainPolarization(DoubleTag d, const IncidenceLanes& in, const PairLanes& pr, DVec eo,
                               DVec no, DVec so, DVec co) {
    const DVec ct = pr.ct, st = pr.st;
    const DVec A = hn::Add(hn::Mul(eo, in.ni), hn::Mul(no, in.ei));
    const DVec B = hn::Sub(hn::Mul(no, in.ni), hn::Mul(eo, in.ei));
    const DVec r1 = hn::Sub(hn::Mul(in.si, so), hn::Mul(hn::Mul(B, in.ci), co));
    const DVec m1 = hn::Mul(hn::Mul(A, in.ci), co);
    const DVec o1 = hn::Sub(hn::Mul(hn::Mul(hn::Neg(co), ct), no), hn::Mul(st, so));
    const DVec wA = hn::Mul(hn::Sub(hn::Mul(hn::Mul(hn::Mul(r1, ct), co), eo), hn::Mul(m1, o1)), in.kA);
    const DVec wB = hn::Mul(hn::Sub(hn::Mul(hn::Mul(hn::Mul(in.cI, ct), co), eo), m1), in.kB);
    const DVec wC = hn::Mul(
        hn::Sub(hn::Sub(hn::Mul(r1, so), in.si), hn::Mul(hn::Add(st, hn::Mul(so, o1)), in.cI)), in.e1);
    const DVec wD =
        hn::Mul(hn::Mul(hn::Sub(hn::Mul(hn::Neg(st), r1), hn::Mul(in.si, o1)), in.e1), in.cI);
    ComplexLanes p = MinusOneTimes(d, pr.gPar, wA);
    p = Sub(p, PlusOneTimes(d, pr.gPar, wB));
    p = Sub(p, PlusOneTimes(d, pr.gPerp, wC));
    p = Add(p, MinusOneTimes(d, pr.gPerp, wD));
    return {hn::IfThenElse(in.behind, hn::Zero(d), p.re), hn::IfThenElse(in.behind, hn::Zero(d), p.im)};
}

// Within about 1e-4 rad of the normal the mean of the
// factors for the incidence turned both ways (numerics.h).
ComplexLanes Polarization(DoubleTag d, const PairLanes& pr, DVec eo, DVec no, DVec so, DVec co) {
    ComplexLanes p = PlainPolarization(d, pr.plain, pr, eo, no, so, co);
    if (HWY_UNLIKELY(pr.anyTurned)) {
        const ComplexLanes plus = PlainPolarization(d, pr.plus, pr, eo, no, so, co);
        const ComplexLanes minus = PlainPolarization(d, pr.minus, pr, eo, no, so, co);
        const ComplexLanes mean = Scale(Add(plus, minus), hn::Set(d, 0.5));
        p = {hn::IfThenElse(pr.turned, mean.re, p.re), hn::IfThenElse(pr.turned, mean.im, p.im)};
    }
    return p;
}

// The observer seen from a patch centre.
struct ObserverLanes {
    DVec wz, rhoS, across, along;
};

ObserverLanes ObservePatch(DoubleTag d, const PlateFrame& f, const PointLanes& o, DVec qx, DVec qy,
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
// R, cos e, sin e, u_o, cos e along and e^{j k R}.
struct PathGeometryLanes {
    DVec wz, rs, co, so, uo, coAlong;
    ComplexLanes phase;
};
// Both paths, and the rate of the path from the patch centre for Doppler.
struct PatchGeometryLanes {
    PathGeometryLanes direct, image;
    DVec ws;
};

PathGeometryLanes PathGeometry(DoubleTag d, const PairLanes& pr, const ObserverLanes& ob, DVec wz) {
    PathGeometryLanes g;
    g.wz = wz;
    g.rs = hn::Sqrt(hn::Add(hn::Mul(ob.rhoS, ob.rhoS), hn::Mul(wz, wz)));
    g.co = hn::Div(ob.rhoS, g.rs);
    g.so = hn::Div(wz, g.rs);
    g.uo = hn::Sub(hn::Mul(g.so, pr.ct), hn::Mul(hn::Mul(g.co, ob.across), pr.st));
    g.coAlong = hn::Mul(g.co, ob.along);
    g.phase = UnitPhasor(d, hn::Mul(pr.k, g.rs));
    return g;
}

// Reads of the pair: the patch centre, k and the tilt only.
PatchGeometryLanes PatchGeometry(DoubleTag d, const PairLanes& pr, const ObserverLanes& ob,
                                 const PointLanes& o, DVec vx, DVec vy, DVec vz) {
    PatchGeometryLanes g;
    g.direct = PathGeometry(d, pr, ob, ob.wz);
    g.image = PathGeometry(d, pr, ob, hn::Neg(hn::Add(pr.qz, o.z)));
    g.ws = RateFrom(d, pr.qx, pr.qy, pr.qz, o, vx, vy, vz, pr.k);
    return g;
}

// One observation path: its height factors for direct and ground-reflected
// incidence, and X.
struct PathLanes {
    DVec sDirect, sReflected;
    ComplexLanes x;
};

PathLanes PatchPath(DoubleTag d, const PairLanes& pr, const ObserverLanes& ob,
                    const PathGeometryLanes& g, double groundSign) {
    const DVec b = hn::Sub(pr.ui, g.uo);
    const DVec edge = hn::Mul(pr.halfKdl, hn::Sub(pr.eiEdge, g.coAlong));
    const DVec fE = hn::Mul(hn::Mul(hn::Mul(hn::Set(d, groundSign), Sinc(d, edge)), pr.dl), pr.dh);
    PathLanes out;
    // Both height factors from one sine and cosine: sin(x + G) = sin x cos G
    // + cos x sin G with G = k dh/2 groundShift; lanes within 1/2 of a zero
    // of the second divisor take its sinc itself.
    const DVec x1 = hn::Mul(pr.halfKdh, b);
    const DVec x2 = hn::Mul(pr.halfKdh, hn::Add(pr.groundShift, b));
    DVec sin1, cos1;
    SinCos(d, x1, &sin1, &cos1);
    const DVec one = hn::Set(d, 1.0);
    const DVec series1 = hn::Sub(one, hn::Div(hn::Mul(x1, x1), hn::Set(d, 6.0)));
    out.sDirect = hn::IfThenElse(hn::Lt(hn::Abs(x1), hn::Set(d, 0.0001)), series1, hn::Div(sin1, x1));
    const DVec sin2 = hn::Add(hn::Mul(sin1, pr.cosShift), hn::Mul(cos1, pr.sinShift));
    out.sReflected = hn::Div(sin2, x2);
    const DMask near2 = hn::Lt(hn::Abs(x2), hn::Set(d, 0.5));
    if (HWY_UNLIKELY(!hn::AllFalse(d, near2))) out.sReflected = hn::IfThenElse(near2, Sinc(d, x2), out.sReflected);
    const ComplexLanes p = Polarization(d, pr, ob.along, ob.across, g.so, g.co);
    out.x = DivReal(Mul(Scale(p, fE), g.phase), g.rs);
    return out;
}

struct ContributionLanes {
    ComplexLanes csb, sbo;
    DopplerLanes f;
};

// The pair's CSB, SBO and Doppler factors at the observer o moving with
// (vx, vy, vz), given its patch's geometry; all zero where a value is not finite.
ContributionLanes EvaluatePair(DoubleTag d, const PairLanes& pr, const ObserverLanes& ob,
                               const PatchGeometryLanes& g, const PointLanes& o, DVec vx, DVec vy,
                               DVec vz) {
    const PathLanes direct = PatchPath(d, pr, ob, g.direct, 1.0);
    const PathLanes image = PatchPath(d, pr, ob, g.image, -1.0);
    const ComplexLanes td = Add(Scale(direct.x, direct.sDirect), Scale(image.x, image.sDirect));
    const ComplexLanes tr = Add(Scale(direct.x, direct.sReflected), Scale(image.x, image.sReflected));
    ContributionLanes c;
    c.csb = Mul(pr.jAmp, Add(Mul(pr.ec, td), Mul(pr.ecG, tr)));
    c.sbo = Mul(pr.jAmp, Add(Mul(pr.es, td), Mul(pr.esG, tr)));
    c.f = DopplerFromRates(d, g.ws, RateFrom(d, pr.sx, pr.sy, pr.sz, o, vx, vy, vz, pr.k));
    // An observer on the patch centre (R at most 1e-10 ft, the floor of
    // rho_s) has no defined term: left out, as a term that is not finite.
    const DMask defined = hn::Gt(g.direct.rs, hn::Set(d, 1e-10));
    const DMask finite = hn::And(
        hn::And(hn::And(FiniteComplex(c.csb), FiniteComplex(c.sbo)), FiniteDoppler(c.f)), defined);
    const DVec zero = hn::Zero(d);
    auto keep = [&](DVec v) { return hn::IfThenElse(finite, v, zero); };
    c.csb = {keep(c.csb.re), keep(c.csb.im)};
    c.sbo = {keep(c.sbo.re), keep(c.sbo.im)};
    c.f = {keep(c.f.f90), keep(c.f.f150), keep(c.f.f0), keep(c.f.f60)};
    return c;
}

}  // namespace

void AddPlatePairsLanes(const Station& st, const Scatterer& plate, const PlateFrame& frame,
                        const PatchSource* pairs, const PairConstants* constants, size_t pairCount,
                        const ObservationPoint* points, FieldRecord* records, size_t n, int64_t* lit) {
    const DoubleTag d;
    const size_t lanes = hn::Lanes(d);
    const bool bothSides = plate.bothSidesFlag != 0;
    const double captureWeight = st.system.captureWeight;
    for (size_t i = 0; i < n; i += lanes) {
        const size_t count = n - i < lanes ? n - i : lanes;
        const PointLanes o = LoadPoints(d, points + i, count);
        const DMask valid = hn::FirstN(d, count);
        RecordLanes acc;
        LoadRecords(d, records + i, count, acc);
        int32_t patch = -1;
        int array = -1;
        ObserverLanes ob{};
        PatchGeometryLanes geometry{};
        DMask litMask = valid;
        bool anyLit = false;
        int64_t litLanes = 0;
        for (size_t p = 0; p < pairCount; ++p) {
            const PairLanes pr = PairsToLanes(d, &constants[p], 1, true);
            if (pairs[p].patch != patch) {
                patch = pairs[p].patch;
                array = -1;
                ob = ObservePatch(d, frame, o, pr.qx, pr.qy, pr.qz);
                litMask = bothSides ? valid : hn::And(hn::Gt(ob.across, hn::Zero(d)), valid);
                anyLit = !hn::AllFalse(d, litMask);
                litLanes = static_cast<int64_t>(hn::CountTrue(d, litMask));
            }
            if (!anyLit) continue;
            // The paths' geometry serves every source of the patch and array.
            if (pairs[p].j != array) {
                array = pairs[p].j;
                geometry = PatchGeometry(d, pr, ob, o, o.vx, o.vy, o.vz);
            }
            const ContributionLanes c = EvaluatePair(d, pr, ob, geometry, o, o.vx, o.vy, o.vz);
            AccumulateLanes(d, pairs[p].j, captureWeight, c.csb, c.sbo, c.f, litMask, acc);
            *lit += litLanes;
        }
        StoreRecords(d, acc, records + i, count);
    }
}

void EvaluatePatchPairsLanes(const PatchSource* pairs, const PatchObserver* observers, size_t n,
                             const ObservationPoint* point, const double* velocity,
                             PatchContribution* out) {
    const DoubleTag d;
    const size_t lanes = hn::Lanes(d);
    const PointLanes o = LoadPoints(d, point, 1);
    const DVec vx = hn::Set(d, velocity[0]), vy = hn::Set(d, velocity[1]), vz = hn::Set(d, velocity[2]);
    PairConstants constants[kMaxDoubleLanes];
    HWY_ALIGN double w[4][kMaxDoubleLanes];
    HWY_ALIGN double r[8][kMaxDoubleLanes];
    for (size_t i = 0; i < n; i += lanes) {
        const size_t count = n - i < lanes ? n - i : lanes;
        for (size_t l = 0; l < lanes; ++l) {
            const size_t m = i + (l < count ? l : count - 1);
            constants[l] = pairConstants(pairs[m]);
            const PatchObserver& ob = observers[m];
            w[0][l] = ob.w[2];
            w[1][l] = ob.rhoS;
            w[2][l] = ob.obsAcrossFront;
            w[3][l] = ob.obsAlongEdge;
        }
        const PairLanes pr = PairsToLanes(d, constants, count, false);
        const ObserverLanes ob{hn::Load(d, w[0]), hn::Load(d, w[1]), hn::Load(d, w[2]), hn::Load(d, w[3])};
        const ContributionLanes c = EvaluatePair(d, pr, ob, PatchGeometry(d, pr, ob, o, vx, vy, vz), o, vx, vy, vz);
        const DVec values[8] = {c.csb.re, c.csb.im, c.sbo.re, c.sbo.im,
                                c.f.f90,  c.f.f150, c.f.f0,   c.f.f60};
        for (int v = 0; v < 8; ++v) hn::Store(values[v], d, r[v]);
        for (size_t l = 0; l < count; ++l) {
            PatchContribution& p = out[i + l];
            p.csb = Complex(r[0][l], r[1][l]);
            p.sbo = Complex(r[2][l], r[3][l]);
            p.doppler.f90 = r[4][l];
            p.doppler.f150 = r[5][l];
            p.doppler.f0 = r[6][l];
            p.doppler.f60 = r[7][l];
        }
    }
}

// A moving plate's sum at one point, its pairs set up and evaluated on
// vectors of sources (near mode): every patch (running-sum centres), array
// and source in the loops' order; each facing pair's contribution added to
// the record in that order.
void AddMovingPointLanes(const Station& st, const Scatterer& plate, const PlateFrame& f,
                         const ObservationPoint* point, const double* velocity, FieldRecord* record,
                         int64_t* total, int64_t* notFacing) {
    const DoubleTag d;
    const size_t lanes = hn::Lanes(d);
    const PointLanes o = LoadPoints(d, point, 1);
    const DVec vx = hn::Set(d, velocity[0]), vy = hn::Set(d, velocity[1]), vz = hn::Set(d, velocity[2]);
    HWY_ALIGN double r[9][kMaxDoubleLanes];
    double rowStart[3] = {f.first[0], f.first[1], f.first[2]};
    for (int32_t p = 0; p < f.nr; ++p, addStep(rowStart, f.rstep)) {
        double centre[3] = {rowStart[0], rowStart[1], rowStart[2]};
        for (int32_t q = 0; q < f.nc; ++q, addStep(centre, f.cstep)) {
            PatchObserver observer;
            observePatch(f, centre, *point, observer);
            if (!observerLit(plate, observer)) continue;  // back side: skipped, not counted
            const DVec qx = hn::Set(d, centre[0]), qy = hn::Set(d, centre[1]), qz = hn::Set(d, centre[2]);
            const ObserverLanes ob = ObservePatch(d, f, o, qx, qy, qz);
            for (int j = 0; j < f.arrayCount; ++j) {
                const AntennaArray& a = st.arrays[j];
                const size_t count = static_cast<size_t>(f.sourceCount[j]);
                *total += f.sourceCount[j];
                const double sign = plate.contributionCode == 1 ? -1.0 : 1.0;
                const Complex jAmplitude(0.0, sign / (2.0 * a.wavelength));
                PairLanes pr;
                pr.qx = qx;
                pr.qy = qy;
                pr.qz = qz;
                pr.k = hn::Set(d, a.waveNumber);
                pr.ct = hn::Set(d, f.cosTilt);
                pr.st = hn::Set(d, f.sinTilt);
                pr.halfKdl = hn::Set(d, a.waveNumber * f.dl / 2.0);
                pr.halfKdh = hn::Set(d, a.waveNumber * f.dh / 2.0);
                pr.dl = hn::Set(d, f.dl);
                pr.dh = hn::Set(d, f.dh);
                pr.jAmp = SetComplex(d, jAmplitude);
                PatchGeometryLanes geometry{};
                bool haveGeometry = false;
                for (size_t first = 0; first < count; first += lanes) {
                    const size_t n = count - first < lanes ? count - first : lanes;
                    const SourceLanes v = SetupSourceLanes(d, st, f, j, centre, first, n);
                    const DMask facing = hn::And(hn::Gt(v.ni, hn::Zero(d)), hn::FirstN(d, n));
                    *notFacing += static_cast<int64_t>(n - hn::CountTrue(d, facing));
                    if (hn::AllFalse(d, facing)) continue;
                    pr.sx = v.ex;
                    pr.sy = v.ey;
                    pr.sz = v.ez;
                    pr.ui = v.ui;
                    pr.eiEdge = v.edge;
                    pr.groundShift = v.groundShift;
                    SinCos(d, hn::Mul(pr.halfKdh, pr.groundShift), &pr.sinShift, &pr.cosShift);
                    pr.ec = v.ec;
                    pr.es = v.es;
                    pr.ecG = v.ecG;
                    pr.esG = v.esG;
                    pr.gPerp = v.gPerp;
                    pr.gPar = v.gPar;
                    // The incidence's constants as pairConstants forms them.
                    auto incidence = [&](DVec ni, DVec ei, DVec si, DVec ci, DVec cI, DVec s2) {
                        IncidenceLanes in;
                        in.ni = ni;
                        in.ei = ei;
                        in.si = si;
                        in.ci = ci;
                        in.cI = cI;
                        in.kA = hn::Div(hn::Mul(hn::Mul(hn::Neg(pr.ct), ei), cI), s2);
                        in.kB = hn::Div(hn::Mul(hn::Neg(pr.ct), ei), s2);
                        in.e1 = hn::Div(hn::Add(hn::Mul(hn::Mul(si, pr.ct), ni), hn::Mul(ci, pr.st)), s2);
                        in.behind = hn::Lt(ni, hn::Zero(d));
                        return in;
                    };
                    pr.plain = incidence(v.ni, v.ei, v.si, v.ci, v.cosInc, v.sin2Inc);
                    pr.turned = hn::Lt(v.sin2Inc, hn::Set(d, kNearNormalSin2));
                    pr.anyTurned = !hn::AllFalse(d, pr.turned);
                    pr.plus = pr.minus = pr.plain;
                    if (HWY_UNLIKELY(pr.anyTurned)) {
                        // Near the normal: the turned incidences lane by lane.
                        HWY_ALIGN double g6[6][kMaxDoubleLanes];
                        const DVec gv[6] = {v.ni, v.ei, v.si, v.ci, v.cosInc, v.sin2Inc};
                        for (int m = 0; m < 6; ++m) hn::Store(gv[m], d, g6[m]);
                        HWY_ALIGN double tp[9][kMaxDoubleLanes], tm[9][kMaxDoubleLanes];
                        for (size_t l = 0; l < lanes; ++l) {
                            ScatterGeometry g;
                            g.cosTilt = f.cosTilt;
                            g.sinTilt = f.sinTilt;
                            g.incAlongNormal = g6[0][l];
                            g.incAlongEdge = g6[1][l];
                            g.sinIncElev = g6[2][l];
                            g.cosIncElev = g6[3][l];
                            g.cosInc = g6[4][l];
                            g.sin2Inc = g6[5][l];
                            g.k = a.waveNumber;
                            g.omega = a.waveNumber * kSpeedOfLightFt;
                            const bool turned = g.sin2Inc < kNearNormalSin2;
                            const IncidenceConstants plus =
                                turned ? incidenceConstants(turnedIncidenceGeometry(g, kNearNormalTurn)) : IncidenceConstants{};
                            const IncidenceConstants minus =
                                turned ? incidenceConstants(turnedIncidenceGeometry(g, -kNearNormalTurn)) : IncidenceConstants{};
                            const double pv[9] = {plus.ni, plus.ei, plus.si, plus.ci, plus.cI, plus.kA, plus.kB, plus.e1, plus.behind};
                            const double mv[9] = {minus.ni, minus.ei, minus.si, minus.ci, minus.cI, minus.kA, minus.kB, minus.e1, minus.behind};
                            for (int m = 0; m < 9; ++m) {
                                tp[m][l] = pv[m];
                                tm[m][l] = mv[m];
                            }
                        }
                        auto load = [&](double (*t)[kMaxDoubleLanes]) {
                            IncidenceLanes in;
                            in.ni = hn::Load(d, t[0]);
                            in.ei = hn::Load(d, t[1]);
                            in.si = hn::Load(d, t[2]);
                            in.ci = hn::Load(d, t[3]);
                            in.cI = hn::Load(d, t[4]);
                            in.kA = hn::Load(d, t[5]);
                            in.kB = hn::Load(d, t[6]);
                            in.e1 = hn::Load(d, t[7]);
                            in.behind = hn::Ne(hn::Load(d, t[8]), hn::Zero(d));
                            return in;
                        };
                        pr.plus = load(tp);
                        pr.minus = load(tm);
                    }
                    if (!haveGeometry) {
                        geometry = PatchGeometry(d, pr, ob, o, vx, vy, vz);
                        haveGeometry = true;
                    }
                    const ContributionLanes c = EvaluatePair(d, pr, ob, geometry, o, vx, vy, vz);
                    const DVec values[9] = {c.csb.re, c.csb.im, c.sbo.re, c.sbo.im, c.f.f90,
                                            c.f.f150, c.f.f0,   c.f.f60,  hn::IfThenElse(facing, hn::Set(d, 1.0), hn::Zero(d))};
                    for (int m = 0; m < 9; ++m) hn::Store(values[m], d, r[m]);
                    for (size_t l = 0; l < n; ++l) {
                        if (r[8][l] == 0.0) continue;
                        accumulateField(st, j, Complex(r[0][l], r[1][l]), Complex(r[2][l], r[3][l]), r[4][l],
                                        r[5][l], r[7][l], r[6][l], *record);
                    }
                }
            }
        }
    }
}

}  // namespace HWY_NAMESPACE
}  // namespace ils
HWY_AFTER_NAMESPACE();

#if HWY_ONCE
namespace ils {

HWY_EXPORT(AddPlatePairsLanes);
HWY_EXPORT(EvaluatePatchPairsLanes);
HWY_EXPORT(AddMovingPointLanes);

void addMovingPlatePoint(const Station& st, const Scatterer& plate, const PlateFrame& frame,
                         const ObservationPoint& point, const double velocity[3], FieldRecord& record,
                         int64_t& total, int64_t& notFacing) {
    HWY_DYNAMIC_DISPATCH(AddMovingPointLanes)(st, plate, frame, &point, velocity, &record, &total,
                                              &notFacing);
}

void addPlatePairs(const Station& st, const Scatterer& plate, const PlateFrame& frame,
                   std::span<const PatchSource> pairs, std::span<const PairConstants> constants,
                   std::span<const ObservationPoint> points, std::span<FieldRecord> records,
                   int64_t& lit) {
    HWY_DYNAMIC_DISPATCH(AddPlatePairsLanes)(st, plate, frame, pairs.data(), constants.data(),
                                             pairs.size(), points.data(), records.data(),
                                             points.size(), &lit);
}

void addPlatePairs(const Station& st, const Scatterer& plate, const PlateFrame& frame,
                   std::span<const PatchSource> pairs, std::span<const ObservationPoint> points,
                   std::span<FieldRecord> records, int64_t& lit) {
    std::vector<PairConstants> constants;
    preparePlatePairs(pairs, constants);
    addPlatePairs(st, plate, frame, pairs, constants, points, records, lit);
}

void preparePlatePairs(std::span<const PatchSource> pairs, std::vector<PairConstants>& constants) {
    constants.resize(pairs.size());
    for (size_t p = 0; p < pairs.size(); ++p) constants[p] = pairConstants(pairs[p]);
}

void evaluatePatchPairs(std::span<const PatchSource> pairs, std::span<const PatchObserver> observers,
                        const ObservationPoint& point, const double velocity[3],
                        PatchContribution* out) {
    if (pairs.empty()) return;
    HWY_DYNAMIC_DISPATCH(EvaluatePatchPairsLanes)(pairs.data(), observers.data(), pairs.size(),
                                                  &point, velocity, out);
}

}  // namespace ils
#endif
