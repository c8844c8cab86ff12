// Vector mathematics of the field engine, for one Highway target: include
// this file after hwy/highway.h in a source compiled through
// hwy/foreach_target.h; the functions live in ils::HWY_NAMESPACE.
//
// Every function is lane-wise pure: a lane's result depends on that lane's
// inputs only, so a kernel may pad its last vector and still get the same
// bits for a point wherever it sits. Angles in radians.
//
// Rounding: only correctly rounded operations and no fused multiply-adds
// (the library compiles with -ffp-contract=off), so each function gives the
// same bits on every instruction set; CVec's Mul gives the bits of
// std::complex<double>'s product for finite values.
//
// Do not include hwy/contrib/math/math-inl.h in the same source: its Sin,
// Cos and Log take the same arguments and unqualified calls would become
// ambiguous.

// Per-target include guard (Highway's convention for -inl headers).
#if defined(ILS_SIMD_VECTOR_MATH_INL_H_) == defined(HWY_TARGET_TOGGLE)
#ifdef ILS_SIMD_VECTOR_MATH_INL_H_
#undef ILS_SIMD_VECTOR_MATH_INL_H_
#else
#define ILS_SIMD_VECTOR_MATH_INL_H_
#endif

#include <cmath>
#include <complex>
#include <cstddef>
#include <limits>

#include "hwy/highway.h"

HWY_BEFORE_NAMESPACE();
namespace ils {
namespace HWY_NAMESPACE {
namespace hn = hwy::HWY_NAMESPACE;

// Largest vector of doubles of any target, for lane buffers.
inline constexpr size_t kMaxDoubleLanes = HWY_MAX_BYTES / sizeof(double);

// ---------------------------------------------------------------- complex

// A vector of complex values, real and imaginary parts apart.
template <class V>
struct CVec {
    V re;
    V im;
};

template <class V>
HWY_INLINE CVec<V> Add(CVec<V> a, CVec<V> b) {
    return {hn::Add(a.re, b.re), hn::Add(a.im, b.im)};
}
template <class V>
HWY_INLINE CVec<V> Sub(CVec<V> a, CVec<V> b) {
    return {hn::Sub(a.re, b.re), hn::Sub(a.im, b.im)};
}
// (a.re b.re - a.im b.im) + j (a.re b.im + a.im b.re), without fused
// multiply-adds, so every target rounds alike.
template <class V>
HWY_INLINE CVec<V> Mul(CVec<V> a, CVec<V> b) {
    return {hn::Sub(hn::Mul(a.re, b.re), hn::Mul(a.im, b.im)),
            hn::Add(hn::Mul(a.re, b.im), hn::Mul(a.im, b.re))};
}
// a * b + c.
template <class V>
HWY_INLINE CVec<V> MulAdd(CVec<V> a, CVec<V> b, CVec<V> c) {
    return Add(Mul(a, b), c);
}
template <class V>
HWY_INLINE CVec<V> Conj(CVec<V> a) {
    return {a.re, hn::Neg(a.im)};
}
// a * s for real s.
template <class V>
HWY_INLINE CVec<V> Scale(CVec<V> a, V s) {
    return {hn::Mul(a.re, s), hn::Mul(a.im, s)};
}
// a / s for real s (both parts divided, as a complex over a double).
template <class V>
HWY_INLINE CVec<V> DivReal(CVec<V> a, V s) {
    return {hn::Div(a.re, s), hn::Div(a.im, s)};
}

// Lanes(d) consecutive complex values.
template <class D>
HWY_INLINE CVec<hn::Vec<D>> LoadComplex(D d, const std::complex<double>* p) {
    hn::Vec<D> re, im;
    hn::LoadInterleaved2(d, reinterpret_cast<const double*>(p), re, im);
    return {re, im};
}
template <class D>
HWY_INLINE void StoreComplex(CVec<hn::Vec<D>> v, D d, std::complex<double>* p) {
    hn::StoreInterleaved2(v.re, v.im, d, reinterpret_cast<double*>(p));
}

// The helpers below copy lane by lane: use them for the last, partial
// vector of an array or for strided data, hn::LoadU/StoreU elsewhere.

// The first n (at most Lanes(d)) of the values p[0], p[stride], ...; the
// other lanes are zero. FieldRecord slot s of consecutive records is
// &records[0].slot[s] with stride 15.
template <class D>
HWY_INLINE CVec<hn::Vec<D>> LoadComplexStrided(D d, const std::complex<double>* p, size_t stride,
                                               size_t n) {
    // A full vector of two or four lanes from its values' 16-byte pairs,
    // transposed: a vector load of lanes just written one by one would wait
    // for the writes to reach the cache.
#if HWY_TARGET != HWY_SCALAR
    constexpr size_t kLanes = hn::MaxLanes(D());
    if constexpr (kLanes == 2 || kLanes == 4) {
        if (n >= hn::Lanes(d)) {
            const double* at = reinterpret_cast<const double*>(p);
            const size_t step = 2 * stride;  // doubles from one value to the next
            hn::Vec<D> a, b;  // values 0 (and 2) and 1 (and 3), a 16-byte block each
            if constexpr (kLanes == 2) {
                a = hn::LoadU(d, at);
                b = hn::LoadU(d, at + step);
            } else {
                const hn::Half<D> dh;
                a = hn::Combine(d, hn::LoadU(dh, at + 2 * step), hn::LoadU(dh, at));
                b = hn::Combine(d, hn::LoadU(dh, at + 3 * step), hn::LoadU(dh, at + step));
            }
            // Within each 16-byte block: (a.re, b.re) and (a.im, b.im).
            return {hn::InterleaveLower(d, a, b), hn::InterleaveUpper(d, a, b)};
        }
    }
#endif
    HWY_ALIGN double re[kMaxDoubleLanes] = {};
    HWY_ALIGN double im[kMaxDoubleLanes] = {};
    const size_t lanes = hn::Lanes(d);
    for (size_t i = 0; i < n && i < lanes; ++i) {
        re[i] = p[i * stride].real();
        im[i] = p[i * stride].imag();
    }
    return {hn::Load(d, re), hn::Load(d, im)};
}
// Stores the first n (at most Lanes(d)) lanes to p[0], p[stride], ...
template <class D>
HWY_INLINE void StoreComplexStrided(CVec<hn::Vec<D>> v, D d, std::complex<double>* p,
                                    size_t stride, size_t n) {
    HWY_ALIGN double re[kMaxDoubleLanes];
    HWY_ALIGN double im[kMaxDoubleLanes];
    hn::Store(v.re, d, re);
    hn::Store(v.im, d, im);
    const size_t lanes = hn::Lanes(d);
    for (size_t i = 0; i < n && i < lanes; ++i) p[i * stride] = std::complex<double>(re[i], im[i]);
}

// Adds the first n (at most Lanes(d)) lanes to p[0], p[stride], ...: the
// accumulation of a contribution into one slot of consecutive records.
template <class D>
HWY_INLINE void AddComplexStrided(CVec<hn::Vec<D>> v, D d, std::complex<double>* p,
                                  size_t stride, size_t n) {
    StoreComplexStrided(Add(LoadComplexStrided(d, p, stride, n), v), d, p, stride, n);
}

// The first n (at most Lanes(d)) of p[0..n-1]; the other lanes hold fill,
// e.g. a copy of the last point, so that padding lanes compute finite values.
template <class D>
HWY_INLINE hn::Vec<D> LoadPadded(D d, const double* p, size_t n, double fill) {
    HWY_ALIGN double buf[kMaxDoubleLanes];
    const size_t lanes = hn::Lanes(d);
    for (size_t i = 0; i < lanes; ++i) buf[i] = i < n ? p[i] : fill;
    return hn::Load(d, buf);
}
// Stores the first n (at most Lanes(d)) lanes of v to p.
template <class D>
HWY_INLINE void StorePartial(hn::Vec<D> v, D d, double* p, size_t n) {
    HWY_ALIGN double buf[kMaxDoubleLanes];
    hn::Store(v, d, buf);
    const size_t lanes = hn::Lanes(d);
    for (size_t i = 0; i < n && i < lanes; ++i) p[i] = buf[i];
}

// ---------------------------------------------------------------- helpers

namespace detail {

// Applies f to the lanes where mask is set, keeping v elsewhere: the
// standard library's answer for the rare lanes outside a fast path.
template <class D, class M, class F>
HWY_NOINLINE hn::Vec<D> PerLaneWhere(D d, M mask, hn::Vec<D> x, hn::Vec<D> v, F f) {
    HWY_ALIGN double bx[kMaxDoubleLanes];
    HWY_ALIGN double bv[kMaxDoubleLanes];
    HWY_ALIGN double bm[kMaxDoubleLanes];
    hn::Store(x, d, bx);
    hn::Store(v, d, bv);
    hn::Store(hn::IfThenElseZero(mask, hn::Set(d, 1.0)), d, bm);
    const size_t lanes = hn::Lanes(d);
    for (size_t i = 0; i < lanes; ++i)
        if (bm[i] != 0.0) bv[i] = f(bx[i]);
    return hn::Load(d, bv);
}

// p[0] + z (p[1] + z (p[2] + ...)), without fused multiply-adds so that
// every target rounds alike; unrolled at compile time.
template <size_t K, class D, class V, size_t N>
HWY_INLINE V HornerFrom(D d, V z, const double (&p)[N]) {
    if constexpr (K + 1 == N) {
        return hn::Set(d, p[K]);
    } else {
        return hn::Add(hn::Mul(HornerFrom<K + 1>(d, z, p), z), hn::Set(d, p[K]));
    }
}
template <class D, class V, size_t N>
HWY_INLINE V Horner(D d, V z, const double (&p)[N]) {
    return HornerFrom<0>(d, z, p);
}

// s + e = a + b exactly (Knuth's two-sum).
template <class V>
HWY_INLINE void TwoSum(V a, V b, V& s, V& e) {
    s = hn::Add(a, b);
    const V bb = hn::Sub(s, a);
    e = hn::Add(hn::Sub(a, hn::Sub(s, bb)), hn::Sub(b, bb));
}

// Mask of the lanes whose sign bit is set (also -0 and -NaN).
template <class D, class V>
HWY_INLINE auto SignBitSet(D d, V v) {
    const hn::RebindToSigned<D> di;
    return hn::RebindMask(d, hn::Lt(hn::BitCast(di, v), hn::Zero(di)));
}

// |x| up to which the reduction by pi/2 below is exact: n = round(x 2/pi)
// stays below 2^26, so n times a 27-bit part of pi/2 has no rounding.
inline constexpr double kReductionLimit = 1e8;
// |x| up to which round(x 2/pi), and round(x / pi) up to the second, is 0:
// a little inside pi/4 and pi/2, clear of the rounding of x times 2/pi.
inline constexpr double kNoReductionSinCos = 0.78;
inline constexpr double kNoReductionSin = 1.57;

// x = n P + (hi + lo) for the period P = pi/2 or pi (scale 1 or 2), with
// |hi + lo| <= P/2 (a hair more at rounding ties) carrying about 100 bits;
// returns n. pi/2 is split in four parts: three of 27 bits whose products
// with n are exact, and the rest (pi's parts are twice those, as exact).
// The first difference is exact (the operands are within a factor of two);
// two-sums keep the rounding errors of the next two.
// n is rounded by adding 1.5 * 2^52 (ties to even, as Round), which leaves
// n mod 2^51 in the low bits of shifted: the quadrant without arithmetic.
template <int kScale, class D, class V>
HWY_INLINE V ReduceByMultiple(D d, V x, V& hi, V& lo, V& shifted) {
    constexpr double kInvPeriod = 0x1.45f306dc9c883p-1 / kScale;  // 2/pi / scale
    constexpr double kC1 = 0x1.921fb54p+0 * kScale, kC2 = 0x1.10b461p-30 * kScale;
    constexpr double kC3 = 0x1.a626330000000p-58 * kScale, kC4 = 0x1.45c06e0e68948p-86 * kScale;
    constexpr double kShifter = 0x1.8p52;
    shifted = hn::Add(hn::Mul(x, hn::Set(d, kInvPeriod)), hn::Set(d, kShifter));
    const V n = hn::Sub(shifted, hn::Set(d, kShifter));
    const V r1 = hn::Sub(x, hn::Mul(n, hn::Set(d, kC1)));
    V r2, e2, r3, e3;
    TwoSum(r1, hn::Neg(hn::Mul(n, hn::Set(d, kC2))), r2, e2);
    TwoSum(r2, hn::Neg(hn::Mul(n, hn::Set(d, kC3))), r3, e3);
    const V tail = hn::Sub(hn::Add(e2, e3), hn::Mul(n, hn::Set(d, kC4)));
    hi = hn::Add(r3, tail);
    lo = hn::Sub(tail, hn::Sub(hi, r3));
    return n;
}

// The sign bit set where bit b of n (in the low bits of shifted) is set.
template <int kBit, class D, class V>
HWY_INLINE V SignOfBit(D d, V shifted) {
    const hn::RebindToUnsigned<D> du;
    const auto bits = hn::ShiftLeft<63 - kBit>(hn::BitCast(du, shifted));
    return hn::BitCast(d, hn::And(bits, hn::Set(du, uint64_t{1} << 63)));
}

// sin and cos of r = hi + lo, |r| <= pi/4: the minimax polynomials of
// degree 13 and 14 of the freely distributable libm kernels (error below
// 2^-58 there), lo entering to first order.
template <class D, class V>
HWY_INLINE void SinCosReduced(D d, V hi, V lo, V& s, V& c) {
    static constexpr double kSin[] = {-1.66666666666666324348e-01, 8.33333333332248946124e-03,
                                      -1.98412698298579493134e-04, 2.75573137070700676789e-06,
                                      -2.50507602534068634195e-08, 1.58969099521155010221e-10};
    static constexpr double kCos[] = {4.16666666666666019037e-02,  -1.38888888888741095749e-03,
                                      2.48015872894767294178e-05,  -2.75573143513906633035e-07,
                                      2.08757232129817482790e-09,  -1.13596475577881948265e-11};
    const V z = hn::Mul(hi, hi);
    const V ps = hn::Mul(hn::Mul(hi, z), Horner(d, z, kSin));
    const V pc = hn::Mul(hn::Mul(z, z), Horner(d, z, kCos));
    const V cosHead = hn::Sub(hn::Set(d, 1.0), hn::Mul(hn::Set(d, 0.5), z));
    const V cosApprox = hn::Add(cosHead, pc);
    s = hn::Add(hi, hn::Add(ps, hn::Mul(lo, cosApprox)));
    c = hn::Add(cosHead, hn::Sub(pc, hn::Mul(lo, hi)));
}

// sin x and cos x from the reduced argument and the quadrant n mod 4.
template <class D, class V>
HWY_INLINE void SinCosFast(D d, V x, V& s, V& c) {
    V hi, lo, shifted;
    // Within pi/4 of zero the reduction leaves n = 0, hi = x (+0 for -0) and
    // lo = +0, whose polynomials give the same bits: skipped where every lane
    // is that small (a path phase near zero, as most Doppler arguments).
    if (hn::AllTrue(d, hn::Le(hn::Abs(x), hn::Set(d, kNoReductionSinCos)))) {
        hi = x;
        lo = shifted = hn::Zero(d);
    } else {
        ReduceByMultiple<1>(d, x, hi, lo, shifted);
    }
    V sr, cr;
    SinCosReduced(d, hi, lo, sr, cr);
    // Quadrant q = n mod 4, 0: (s, c); 1: (c, -s); 2: (-s, -c); 3: (-c, s):
    // swapped where bit 0 of n is set, sin negated where bit 1 is, cos where
    // they differ (sign flips by the sign bit, as Neg).
    const V bit0 = SignOfBit<0>(d, shifted), bit1 = SignOfBit<1>(d, shifted);
    const hn::RebindToUnsigned<D> du;
    const auto swap = hn::RebindMask(d, hn::Ne(hn::BitCast(du, bit0), hn::Zero(du)));
    const V sv = hn::IfThenElse(swap, cr, sr);
    const V cv = hn::IfThenElse(swap, sr, cr);
    s = hn::Xor(sv, bit1);
    c = hn::Xor(cv, hn::Xor(bit0, bit1));
    // sin(-0) = -0.
    s = hn::IfThenElse(hn::Eq(x, hn::Zero(d)), x, s);
}

inline constexpr double kSinTaylor[] = {
    -0x1.5555555555555p-3, 0x1.1111111111111p-7,  -0x1.a01a01a01a01ap-13,
    0x1.71de3a556c734p-19, -0x1.ae64567f544e4p-26, 0x1.6124613a86d09p-33,
    -0x1.ae7f3e733b81fp-41, 0x1.952c77030ad4ap-49, -0x1.2f49b46814157p-57,
    0x1.71b8ef6dcf572p-66, -0x1.761b41316381ap-75};

// sin x alone, for sinc: x = n pi + (hi + lo), |hi + lo| <= pi/2; sin x =
// (-1)^n sin(hi + lo) by the Taylor series to r^23 (truncation below 2e-18
// there), lo entering to first order. One series instead of two.
template <class D, class V>
HWY_INLINE V SinFast(D d, V x) {
    static constexpr double kCos4[] = {1.0, -0.5, 1.0 / 24};
    V hi, lo, shifted;
    // Within pi/2 of zero n = 0: skipped as in SinCosFast.
    if (hn::AllTrue(d, hn::Le(hn::Abs(x), hn::Set(d, kNoReductionSin)))) {
        hi = x;
        lo = shifted = hn::Zero(d);
    } else {
        ReduceByMultiple<2>(d, x, hi, lo, shifted);
    }
    const V z = hn::Mul(hi, hi);
    const V series = hn::Mul(hn::Mul(hi, z), Horner(d, z, kSinTaylor));
    const V s = hn::Add(hi, hn::Add(series, hn::Mul(lo, Horner(d, z, kCos4))));
    const V withSign = hn::Xor(s, SignOfBit<0>(d, shifted));  // (-1)^n
    return hn::IfThenElse(hn::Eq(x, hn::Zero(d)), x, withSign);  // sin(-0) = -0
}

// atan t for 0 <= t <= 1: beyond tan(pi/8) atan t = pi/4 + atan((t-1)/(t+1));
// then one halving atan u = 2 atan(u / (1 + sqrt(1 + u^2))) leaves
// |v| <= tan(pi/16), where the series to v^25 is exact to 1e-17.
template <class D, class V>
HWY_INLINE V AtanUnit(D d, V t) {
    static constexpr double kAtan[] = {-1.0 / 3,  1.0 / 5,  -1.0 / 7,  1.0 / 9,
                                       -1.0 / 11, 1.0 / 13, -1.0 / 15, 1.0 / 17,
                                       -1.0 / 19, 1.0 / 21, -1.0 / 23, 1.0 / 25};
    constexpr double kTanEighthPi = 0x1.a827999fcef32p-2;
    constexpr double kQuarterPi = 0x1.921fb54442d18p-1;
    const V one = hn::Set(d, 1.0);
    const auto big = hn::Gt(t, hn::Set(d, kTanEighthPi));
    const V u = hn::IfThenElse(big, hn::Div(hn::Sub(t, one), hn::Add(t, one)), t);
    const V v = hn::Div(u, hn::Add(one, hn::Sqrt(hn::Add(one, hn::Mul(u, u)))));
    const V z = hn::Mul(v, v);
    const V atanV = hn::Add(v, hn::Mul(hn::Mul(v, z), Horner(d, z, kAtan)));
    const V twice = hn::Add(atanV, atanV);
    return hn::IfThenElse(big, hn::Add(hn::Set(d, kQuarterPi), twice), twice);
}

}  // namespace detail

// ------------------------------------------------------- transcendentals

// sin x and cos x. Exact reduction by pi/2 for |x| <= 1e8 (every path
// phase); the standard library's value in lanes beyond, and NaN for
// infinities and NaN, as std::sin and std::cos.
template <class D, class V>
HWY_INLINE void SinCos(D d, V x, V* s, V* c) {
    detail::SinCosFast(d, x, *s, *c);
    const auto slow = hn::Not(hn::Le(hn::Abs(x), hn::Set(d, detail::kReductionLimit)));
    if (HWY_UNLIKELY(!hn::AllFalse(d, slow))) {
        *s = detail::PerLaneWhere(d, slow, x, *s, [](double v) { return std::sin(v); });
        *c = detail::PerLaneWhere(d, slow, x, *c, [](double v) { return std::cos(v); });
    }
}
template <class D, class V>
HWY_INLINE V Sin(D d, V x) {
    V s = detail::SinFast(d, x);
    const auto slow = hn::Not(hn::Le(hn::Abs(x), hn::Set(d, detail::kReductionLimit)));
    if (HWY_UNLIKELY(!hn::AllFalse(d, slow))) {
        s = detail::PerLaneWhere(d, slow, x, s, [](double v) { return std::sin(v); });
    }
    return s;
}
template <class D, class V>
HWY_INLINE V Cos(D d, V x) {
    V s, c;
    SinCos(d, x, &s, &c);
    return c;
}
// cos a + j sin a.
template <class D, class V>
HWY_INLINE CVec<V> UnitPhasor(D d, V a) {
    CVec<V> r;
    SinCos(d, a, &r.im, &r.re);
    return r;
}

// sin x / x, and 1 - x^2/6 where |x| < 1e-4 (the system's rule for sinc).
template <class D, class V>
HWY_INLINE V SincFromSin(D d, V x, V sinX) {
    const V quotient = hn::Div(sinX, x);
    const auto tiny = hn::Lt(hn::Abs(x), hn::Set(d, 0.0001));
    // The series only where a lane needs it: its division costs as much as the quotient's.
    if (HWY_LIKELY(hn::AllFalse(d, tiny))) return quotient;
    const V series = hn::Sub(hn::Set(d, 1.0), hn::Div(hn::Mul(x, x), hn::Set(d, 6.0)));
    return hn::IfThenElse(tiny, series, quotient);
}
template <class D, class V>
HWY_INLINE V Sinc(D d, V x) {
    return SincFromSin(d, x, Sin(d, x));
}
// sinc x for |x| <= 1/2 straight from its series, 1 + z P(z) with z = x^2
// to x^14 (the first term left out is below 5e-20 there), in Estrin's
// grouping to keep the chain of dependent operations short; no division.
// For lanes near a zero of a divisor whose sine carries an absolute error.
template <class D, class V>
HWY_INLINE V SincSeries(D d, V x) {
    const V z = hn::Mul(x, x);
    const V z2 = hn::Mul(z, z);
    const V z4 = hn::Mul(z2, z2);
    auto c = [&](double v) { return hn::Set(d, v); };
    const V p01 = hn::Add(c(-1.0 / 6), hn::Mul(z, c(1.0 / 120)));
    const V p23 = hn::Add(c(-1.0 / 5040), hn::Mul(z, c(1.0 / 362880)));
    const V p45 = hn::Add(c(-1.0 / 39916800), hn::Mul(z, c(1.0 / 6227020800)));
    const V p6 = c(-1.0 / 1307674368000);
    const V low = hn::Add(p01, hn::Mul(z2, p23));
    const V high = hn::Add(p45, hn::Mul(z2, p6));
    return hn::Add(hn::Set(d, 1.0), hn::Mul(z, hn::Add(low, hn::Mul(z4, high))));
}

// atan2(y, x) in [-pi, pi], with std::atan2's signed zeros and infinities.
template <class D, class V>
HWY_INLINE V Atan2(D d, V y, V x) {
    constexpr double kHalfPi = 0x1.921fb54442d18p+0, kPi = 0x1.921fb54442d18p+1;
    const V ax = hn::Abs(x), ay = hn::Abs(y);
    const auto steep = hn::Gt(ay, ax);
    const V num = hn::IfThenElse(steep, ax, ay);
    const V den = hn::IfThenElse(steep, ay, ax);
    V t = hn::Div(num, den);
    t = hn::IfThenElse(hn::Eq(den, hn::Zero(d)), hn::Zero(d), t);  // both zero
    t = hn::IfThenElse(hn::Eq(num, hn::Set(d, HUGE_VAL)), hn::Set(d, 1.0), t);  // both infinite
    V a = detail::AtanUnit(d, t);
    a = hn::IfThenElse(steep, hn::Sub(hn::Set(d, kHalfPi), a), a);
    a = hn::IfThenElse(detail::SignBitSet(d, x), hn::Sub(hn::Set(d, kPi), a), a);
    a = hn::CopySign(a, y);
    return hn::IfThenElse(hn::Or(hn::IsNaN(x), hn::IsNaN(y)), hn::Add(x, y), a);
}

// Natural logarithm: x = 2^e m with sqrt(1/2) < m <= sqrt 2, log m =
// 2 atanh((m-1)/(m+1)) by its series to s^23 (exact to 1e-17), e ln 2 in
// two parts. -inf at +-0, NaN below zero, +inf at +inf.
template <class D, class V>
HWY_INLINE V Log(D d, V x) {
    static constexpr double kAtanh[] = {2.0 / 3,  2.0 / 5,  2.0 / 7,  2.0 / 9,
                                        2.0 / 11, 2.0 / 13, 2.0 / 15, 2.0 / 17,
                                        2.0 / 19, 2.0 / 21, 2.0 / 23};
    constexpr double kLn2Hi = 0x1.62e42feep-1, kLn2Lo = 0x1.a39ef35793c76p-33;
    constexpr double kSqrt2 = 0x1.6a09e667f3bcdp+0;
    const hn::RebindToUnsigned<D> du;
    const hn::RebindToSigned<D> di;
    // Subnormals first scaled into the normal range.
    const auto tiny = hn::Lt(x, hn::Set(d, 0x1p-1022));
    const V xs = hn::IfThenElse(tiny, hn::Mul(x, hn::Set(d, 0x1p54)), x);
    const auto bits = hn::BitCast(du, xs);
    const auto biased = hn::BitCast(di, hn::ShiftRight<52>(bits));
    V e = hn::Sub(hn::ConvertTo(d, biased), hn::Set(d, 1023.0));
    e = hn::IfThenElse(tiny, hn::Sub(e, hn::Set(d, 54.0)), e);
    V m = hn::BitCast(d, hn::Or(hn::And(bits, hn::Set(du, 0x000FFFFFFFFFFFFFull)),
                                hn::Set(du, 0x3FF0000000000000ull)));
    const auto high = hn::Gt(m, hn::Set(d, kSqrt2));
    m = hn::IfThenElse(high, hn::Mul(m, hn::Set(d, 0.5)), m);
    e = hn::IfThenElse(high, hn::Add(e, hn::Set(d, 1.0)), e);
    const V one = hn::Set(d, 1.0);
    const V s = hn::Div(hn::Sub(m, one), hn::Add(m, one));
    const V z = hn::Mul(s, s);
    const V logM = hn::Add(hn::Add(s, s), hn::Mul(hn::Mul(s, z), detail::Horner(d, z, kAtanh)));
    V r = hn::Add(hn::Mul(e, hn::Set(d, kLn2Hi)), hn::Add(hn::Mul(e, hn::Set(d, kLn2Lo)), logM));
    r = hn::IfThenElse(hn::Eq(x, hn::Set(d, HUGE_VAL)), x, r);
    r = hn::IfThenElse(hn::Eq(x, hn::Zero(d)), hn::Set(d, -HUGE_VAL), r);
    const auto invalid = hn::Or(hn::Lt(x, hn::Zero(d)), hn::IsNaN(x));
    return hn::IfThenElse(invalid, hn::Set(d, std::numeric_limits<double>::quiet_NaN()), r);
}

// J0(|x|) in *re and Y0(|x|) in *im, i.e. the Hankel function of the first
// kind and order zero J0 + j Y0, by the polynomial approximations of
// besselZero (Abramowitz & Stegun 9.4.1-9.4.3) evaluated in the same order.
// Up to 3: powers of t = (x/3)^2, the logarithmic term of Y0 scaled by 2/pi;
// beyond: J0 = f0 cos(theta0) / sqrt x, Y0 = f0 sin(theta0) / sqrt x in
// powers of u = 3/x. x = 0 gives J0 = 1, Y0 = -inf.
template <class D, class V>
HWY_INLINE void Hankel0First(D d, V x, V* re, V* im) {
    static constexpr double kJ0[] = {1.0,        -2.2499997, 1.2656208, -0.3163866,
                                     0.0444479,  -0.0039444, 0.0002100};
    static constexpr double kY0[] = {0.60559366, -0.74350384, 0.25300117, -0.04261214,
                                     0.00427916, -0.00024846};
    static constexpr double kF0[] = {0.79788456,  -0.00000077, -0.00552740, -0.00009512,
                                     0.00137237,  -0.00072805, 0.00014476};
    static constexpr double kTheta0[] = {-0.04166397, -0.00003954, 0.00262573,
                                         -0.00054125, -0.00029333, 0.00013558};
    const V ax = hn::Abs(x);
    const auto inner = hn::Le(ax, hn::Set(d, 3.0));
    V j0 = hn::Zero(d), y0 = hn::Zero(d);
    if (!hn::AllFalse(d, inner)) {
        const V third = hn::Div(ax, hn::Set(d, 3.0));
        const V t = hn::Mul(third, third);
        const V j = detail::Horner(d, t, kJ0);
        const V logHalf = Log(d, hn::Div(ax, hn::Set(d, 2.0)));
        const V y = hn::Add(
            hn::Add(hn::Mul(hn::Mul(hn::Set(d, 1.0 / 1.570796326795), logHalf), j),
                    hn::Set(d, 0.36746691)),
            hn::Mul(t, detail::Horner(d, t, kY0)));
        j0 = j;
        y0 = y;
    }
    if (!hn::AllTrue(d, inner)) {
        const V u = hn::Div(hn::Set(d, 3.0), ax);
        const V f0 = detail::Horner(d, u, kF0);
        const V theta0 = hn::Add(hn::Sub(ax, hn::Set(d, 0.78539816)),
                                 hn::Mul(u, detail::Horner(d, u, kTheta0)));
        const V scale = hn::Div(f0, hn::Sqrt(ax));
        V s, c;
        SinCos(d, theta0, &s, &c);
        j0 = hn::IfThenElse(inner, j0, hn::Mul(scale, c));
        y0 = hn::IfThenElse(inner, y0, hn::Mul(scale, s));
    }
    *re = j0;
    *im = y0;
}

}  // namespace HWY_NAMESPACE
}  // namespace ils
HWY_AFTER_NAMESPACE();

#endif  // per-target include guard
