// What the vector field kernels share, for one Highway target (include after
// simd/vector_math-inl.h): observation points and FieldRecords as vectors of
// consecutive points, the slot rule of one accumulation, and the Doppler
// filter factors. A lane is one observation point; every operation is
// lane-wise, in the order of the scalar formulas, so a point's bits depend
// neither on its lane nor on how many points share its vector.

#if defined(ILS_SIMD_FIELD_LANES_INL_H_) == defined(HWY_TARGET_TOGGLE)
#ifdef ILS_SIMD_FIELD_LANES_INL_H_
#undef ILS_SIMD_FIELD_LANES_INL_H_
#else
#define ILS_SIMD_FIELD_LANES_INL_H_
#endif

#include <cstddef>

#include "hwy/highway.h"
#include "interface/run_data.h"
#include "simd/vector_math-inl.h"

HWY_BEFORE_NAMESPACE();
namespace ils {
namespace HWY_NAMESPACE {
namespace hn = hwy::HWY_NAMESPACE;

using DoubleTag = hn::ScalableTag<double>;
using DVec = hn::Vec<DoubleTag>;
using DMask = hn::Mask<DoubleTag>;
using ComplexLanes = CVec<DVec>;

HWY_INLINE ComplexLanes SetComplex(DoubleTag d, Complex c) {
    return {hn::Set(d, c.real()), hn::Set(d, c.imag())};
}
// Complex constant times complex lanes, as std::complex's product.
HWY_INLINE ComplexLanes MulConst(DoubleTag d, Complex c, ComplexLanes v) {
    return Mul(SetComplex(d, c), v);
}
// Real lanes times a complex constant: (s re, s im), as double * std::complex.
HWY_INLINE ComplexLanes ScaleConst(DoubleTag d, DVec s, Complex c) {
    return {hn::Mul(s, hn::Set(d, c.real())), hn::Mul(s, hn::Set(d, c.imag()))};
}

// Positions (feet) and velocities (feet per second) of up to Lanes(d)
// consecutive points; lanes past count repeat the last point, so that they
// compute finite values that are never stored.
struct PointLanes {
    DVec x, y, z, vx, vy, vz;
};
HWY_INLINE PointLanes LoadPoints(DoubleTag d, const ObservationPoint* p, size_t count) {
    HWY_ALIGN double v[6][kMaxDoubleLanes];
    const size_t lanes = hn::Lanes(d);
    for (size_t i = 0; i < lanes; ++i) {
        const ObservationPoint& o = p[i < count ? i : count - 1];
        v[0][i] = o.x;
        v[1][i] = o.y;
        v[2][i] = o.z;
        v[3][i] = o.vx;
        v[4][i] = o.vy;
        v[5][i] = o.vz;
    }
    return {hn::Load(d, v[0]), hn::Load(d, v[1]), hn::Load(d, v[2]),
            hn::Load(d, v[3]), hn::Load(d, v[4]), hn::Load(d, v[5])};
}

// FieldSlots 0..11 of consecutive records (12..14 are never accumulated).
inline constexpr int kAccumulatedSlots = 12;
struct RecordLanes {
    ComplexLanes slot[kAccumulatedSlots];
};
HWY_INLINE void LoadRecords(DoubleTag d, const FieldRecord* r, size_t count, RecordLanes& out) {
    constexpr size_t kStride = sizeof(FieldRecord) / sizeof(Complex);
    for (int s = 0; s < kAccumulatedSlots; ++s) {
        out.slot[s] = LoadComplexStrided(d, &r->slot[s], kStride, count);
    }
}
HWY_INLINE void StoreRecords(DoubleTag d, const RecordLanes& in, FieldRecord* r, size_t count) {
    constexpr size_t kStride = sizeof(FieldRecord) / sizeof(Complex);
    for (int s = 0; s < kAccumulatedSlots; ++s) {
        StoreComplexStrided(in.slot[s], d, &r->slot[s], kStride, count);
    }
}

// The Doppler filter factors of one contribution.
struct DopplerLanes {
    DVec f90, f150, f0, f60;
};

// The slot rule of one accumulation for array j (clearance values first
// scaled by captureWeight), in the lanes where add is set:
//   slot j += CSB; 2+2j += f0 (CSB - SBO); 3+2j += f0 (CSB + SBO);
//   6+2j += f60 (CSB + SBO); 7+2j += f60 (CSB - SBO); 10 += f90 CSB; 11 += f150 CSB.
// With j known at compile time the slots are fixed offsets, which lets the
// compiler keep the sums' addresses (and often the sums) out of the loop's
// arithmetic.
template <int kJ>
HWY_INLINE void AccumulateSlots(DoubleTag d, double captureWeight, ComplexLanes csb, ComplexLanes sbo,
                                const DopplerLanes& f, DMask add, bool all, RecordLanes& acc) {
    if (kJ == 1) {
        const DVec w = hn::Set(d, captureWeight);
        csb = Scale(csb, w);
        sbo = Scale(sbo, w);
    }
    const ComplexLanes diff = Sub(csb, sbo);
    const ComplexLanes sum = Add(csb, sbo);
    auto addTo = [&](int s, ComplexLanes v) {
        const ComplexLanes n = Add(acc.slot[s], v);
        if (all) {
            // Member by member: GCC 12 copies a whole pair held in memory
            // through general registers and 16-byte halves, and the next
            // pair's load of the slot then waits on those stores.
            acc.slot[s].re = n.re;
            acc.slot[s].im = n.im;
            return;
        }
        acc.slot[s].re = hn::IfThenElse(add, n.re, acc.slot[s].re);
        acc.slot[s].im = hn::IfThenElse(add, n.im, acc.slot[s].im);
    };
    addTo(kJ, csb);
    addTo(2 + 2 * kJ, Scale(diff, f.f0));
    addTo(3 + 2 * kJ, Scale(sum, f.f0));
    addTo(6 + 2 * kJ, Scale(sum, f.f60));
    addTo(7 + 2 * kJ, Scale(diff, f.f60));
    addTo(10, Scale(csb, f.f90));
    addTo(11, Scale(csb, f.f150));
}
// all: every lane of add is set (the usual case; the sums need no selection).
HWY_INLINE void AccumulateLanes(DoubleTag d, int j, double captureWeight, ComplexLanes csb,
                                ComplexLanes sbo, const DopplerLanes& f, DMask add, bool all,
                                RecordLanes& acc) {
    if (j == 1) {
        AccumulateSlots<1>(d, captureWeight, csb, sbo, f, add, all, acc);
    } else {
        AccumulateSlots<0>(d, captureWeight, csb, sbo, f, add, all, acc);
    }
}
HWY_INLINE void AccumulateLanes(DoubleTag d, int j, double captureWeight, ComplexLanes csb,
                                ComplexLanes sbo, const DopplerLanes& f, DMask add,
                                RecordLanes& acc) {
    AccumulateLanes(d, j, captureWeight, csb, sbo, f, add, hn::AllTrue(d, add), acc);
}

// Rate of change k (d . v) / |d| of the path from a fixed point to the
// observer, d = observer - from; 0 where the path has no length.
HWY_INLINE DVec PathRate(DoubleTag d, DVec dx, DVec dy, DVec dz, DVec vx, DVec vy, DVec vz,
                         DVec k) {
    const DVec len = hn::Sqrt(hn::Add(hn::Add(hn::Mul(dx, dx), hn::Mul(dy, dy)), hn::Mul(dz, dz)));
    const DVec dot = hn::Add(hn::Add(hn::Mul(dx, vx), hn::Mul(dy, vy)), hn::Mul(dz, vz));
    const DVec rate = hn::Div(hn::Mul(k, dot), len);
    return hn::IfThenElse(hn::Eq(len, hn::Zero(d)), hn::Zero(d), rate);
}

// The Doppler filter's offsets (radians, as the scalar engine writes them)
// with their sines and cosines (std::sin and std::cos of these doubles).
inline constexpr double kDoppler60 = 12.56637061436;
inline constexpr double kDoppler90 = 18.849555921540002;
inline constexpr double kDoppler150 = 31.4159265359;
inline constexpr double kSinDoppler60 = 8.272924284408578e-13;
inline constexpr double kCosDoppler60 = 1.0;
inline constexpr double kSinDoppler90 = 1.242714999500687e-12;
inline constexpr double kCosDoppler90 = 1.0;
inline constexpr double kSinDoppler150 = 2.0664547142627443e-12;
inline constexpr double kCosDoppler150 = 1.0;

// sin x / x where sin x came from a sum or difference of angles, whose
// absolute error the quotient magnifies near x = 0: lanes within 1/2 of zero
// take the series of sinc x itself. Consecutive points mostly agree, so the
// division is left out where every lane is near zero.
HWY_INLINE DVec SincOfAngleSum(DoubleTag d, DVec x, DVec sinX) {
    const auto near = hn::Lt(hn::Abs(x), hn::Set(d, 0.5));
    if (hn::AllFalse(d, near)) return hn::Div(sinX, x);
    const DVec series = SincSeries(d, x);
    if (hn::AllTrue(d, near)) return series;
    return hn::IfThenElse(near, series, hn::Div(sinX, x));
}

// sinc(u + c) from sin u, cos u and the sine and cosine of c.
HWY_INLINE DVec ShiftedSinc(DoubleTag d, DVec u, DVec su, DVec cu, double c, double sinC,
                            double cosC) {
    const DVec x = hn::Add(u, hn::Set(d, c));
    const DVec sx = hn::Add(hn::Mul(su, hn::Set(d, cosC)), hn::Mul(cu, hn::Set(d, sinC)));
    return SincOfAngleSum(d, x, sx);
}

// The four factors of u from sin u and cos u; sinU exact means it is
// std::sin's kind of value even near u = 0 (else lanes within 1/2 of 0 take
// sinc u itself, as the shifted ones do near their zeros).
HWY_INLINE DopplerLanes DopplerFromSinCos(DoubleTag d, DVec u, DVec su, DVec cu, bool sinUExact) {
    DopplerLanes f;
    f.f90 = ShiftedSinc(d, u, su, cu, kDoppler90, kSinDoppler90, kCosDoppler90);
    f.f150 = ShiftedSinc(d, u, su, cu, kDoppler150, kSinDoppler150, kCosDoppler150);
    f.f0 = sinUExact ? SincFromSin(d, u, su) : SincOfAngleSum(d, u, su);
    f.f60 = ShiftedSinc(d, u, su, cu, kDoppler60, kSinDoppler60, kCosDoppler60);
    return f;
}

// Receiver averaging response (filter time T = 1/15 s) to the Doppler
// difference between the path S -> Q -> O and the direct path S -> O, for
// the observer moving with (vx, vy, vz): u = (rate(Q) - rate(S)) T / 2, then
// f0 = sinc u, f60 = sinc(u + 4 pi), f90 = sinc(u + 6 pi), f150 = sinc(u + 10 pi)
// (the constants as the scalar engine writes them), the rates from PathRate.
// DopplerArgument gives rate T / 2 for a rate or a difference of rates;
// DopplerFromSinCos the four factors from u with its sine and cosine.
HWY_INLINE DVec DopplerArgument(DoubleTag d, DVec rate) {
    return hn::Mul(hn::Mul(rate, hn::Set(d, 0.06666666666666667)), hn::Set(d, 0.5));
}

// The Doppler argument's part of one path, (rate T / 2) with its sine and
// cosine: a pair's u is the difference of its scattered and direct parts,
// and its sine and cosine follow from theirs by the sums of angles.
struct DopplerPhaseLanes {
    DVec u, su, cu;
};
HWY_INLINE DopplerPhaseLanes DopplerPhase(DoubleTag d, DVec rate) {
    DopplerPhaseLanes p;
    p.u = DopplerArgument(d, rate);
    SinCos(d, p.u, &p.su, &p.cu);
    return p;
}
HWY_INLINE DopplerLanes DopplerFromPhases(DoubleTag d, const DopplerPhaseLanes& scattered,
                                          const DopplerPhaseLanes& direct) {
    const DVec u = hn::Sub(scattered.u, direct.u);
    const DVec su = hn::Sub(hn::Mul(scattered.su, direct.cu), hn::Mul(scattered.cu, direct.su));
    const DVec cu = hn::Add(hn::Mul(scattered.cu, direct.cu), hn::Mul(scattered.su, direct.su));
    return DopplerFromSinCos(d, u, su, cu, false);
}


// Rate of the path from (fx, fy, fz) to the observer o moving with (vx, vy, vz).
HWY_INLINE DVec RateFrom(DoubleTag d, DVec fx, DVec fy, DVec fz, const PointLanes& o, DVec vx,
                         DVec vy, DVec vz, DVec k) {
    return PathRate(d, hn::Sub(o.x, fx), hn::Sub(o.y, fy), hn::Sub(o.z, fz), vx, vy, vz, k);
}

// The lanes where the contribution (CSB, SBO and the Doppler factors) is
// finite: v * 0 is +-0 for a finite v and NaN for an infinity or NaN, so
// the sum of those products is zero exactly where every value is finite
// (two thirds fewer operations than eight IsFinite tests).
HWY_INLINE DMask FiniteContribution(DoubleTag d, ComplexLanes csb, ComplexLanes sbo, const DopplerLanes& f) {
    const DVec zero = hn::Zero(d);
    const DVec a = hn::Add(hn::Mul(csb.re, zero), hn::Mul(csb.im, zero));
    const DVec b = hn::Add(hn::Mul(sbo.re, zero), hn::Mul(sbo.im, zero));
    const DVec c = hn::Add(hn::Mul(f.f0, zero), hn::Mul(f.f60, zero));
    const DVec e = hn::Add(hn::Mul(f.f90, zero), hn::Mul(f.f150, zero));
    return hn::Eq(hn::Add(hn::Add(a, b), hn::Add(c, e)), zero);
}

// Whether slots 0..11 are finite in every lane of valid. A sum that met a
// value that is not finite stays so (inf + x, inf - inf and NaN + x), and
// each of a contribution's eight values reaches some slot, through a
// product at worst (inf * 0 is NaN): finite sums mean finite contributions.
HWY_INLINE bool RecordsFinite(DoubleTag d, const RecordLanes& acc, DMask valid) {
    const DVec zero = hn::Zero(d);
    DVec sum = zero;
    for (int s = 0; s < kAccumulatedSlots; ++s) {
        sum = hn::Add(sum, hn::Add(hn::Mul(acc.slot[s].re, zero), hn::Mul(acc.slot[s].im, zero)));
    }
    return hn::AllTrue(d, hn::Or(hn::Eq(sum, zero), hn::Not(valid)));
}

}  // namespace HWY_NAMESPACE
}  // namespace ils
HWY_AFTER_NAMESPACE();

#endif  // per-target include guard
