// Vector mathematics of the field engine, for one Highway target: include
// this file after hwy/highway.h in a source compiled through
// hwy/foreach_target.h; the functions live in ils::HWY_NAMESPACE.
//
// Every function is lane-wise pure: a lane's result depends on that lane's
// inputs only, so a kernel may pad its last vector and still get the same
// bits for a point wherever it sits. Angles in radians.
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

#include "hwy/highway.h"
#include "scatter/hankel.h"

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

// The first n (at most Lanes(d)) of the values p[0], p[stride], ...; the
// other lanes are zero. FieldRecord slot s of consecutive records is
// &records[0].slot[s] with stride 15.
template <class D>
HWY_INLINE CVec<hn::Vec<D>> LoadComplexStrided(D d, const std::complex<double>* p, size_t stride,
                                               size_t n) {
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

// ---------------------------------------------------------- lane helpers

namespace detail {
// Applies f to every lane (the plain reference form of a function).
template <class D, class F>
HWY_INLINE hn::Vec<D> PerLane(D d, hn::Vec<D> x, F f) {
    HWY_ALIGN double buf[kMaxDoubleLanes];
    hn::Store(x, d, buf);
    const size_t lanes = hn::Lanes(d);
    for (size_t i = 0; i < lanes; ++i) buf[i] = f(buf[i]);
    return hn::Load(d, buf);
}
}  // namespace detail

// ------------------------------------------------------- transcendentals

// sin x and cos x for every finite x (the reduction is exact for the
// phases of any path length).
template <class D, class V>
HWY_INLINE void SinCos(D d, V x, V* s, V* c) {
    *s = detail::PerLane(d, x, [](double v) { return std::sin(v); });
    *c = detail::PerLane(d, x, [](double v) { return std::cos(v); });
}
template <class D, class V>
HWY_INLINE V Sin(D d, V x) {
    return detail::PerLane(d, x, [](double v) { return std::sin(v); });
}
template <class D, class V>
HWY_INLINE V Cos(D d, V x) {
    return detail::PerLane(d, x, [](double v) { return std::cos(v); });
}
// cos a + j sin a.
template <class D, class V>
HWY_INLINE CVec<V> UnitPhasor(D d, V a) {
    CVec<V> r;
    SinCos(d, a, &r.im, &r.re);
    return r;
}

// sin x / x, and 1 - x^2/6 where |x| < 1e-4.
template <class D, class V>
HWY_INLINE V Sinc(D d, V x) {
    return detail::PerLane(d, x, [](double v) {
        if (std::fabs(v) < 0.0001) return 1.0 - v * v / 6.0;
        return std::sin(v) / v;
    });
}

// atan2(y, x) in [-pi, pi], with the signed-zero cases of std::atan2.
template <class D, class V>
HWY_INLINE V Atan2(D d, V y, V x) {
    HWY_ALIGN double by[kMaxDoubleLanes];
    HWY_ALIGN double bx[kMaxDoubleLanes];
    hn::Store(y, d, by);
    hn::Store(x, d, bx);
    const size_t lanes = hn::Lanes(d);
    for (size_t i = 0; i < lanes; ++i) by[i] = std::atan2(by[i], bx[i]);
    return hn::Load(d, by);
}

// Natural logarithm: -inf at 0, NaN below.
template <class D, class V>
HWY_INLINE V Log(D d, V x) {
    return detail::PerLane(d, x, [](double v) { return std::log(v); });
}

// J0(|x|) in *re and Y0(|x|) in *im, i.e. the Hankel function of the first
// kind and order zero J0 + j Y0, from the polynomial approximations of
// besselZero (x = 0 gives Y0 = -inf).
template <class D, class V>
HWY_INLINE void Hankel0First(D d, V x, V* re, V* im) {
    HWY_ALIGN double bx[kMaxDoubleLanes];
    HWY_ALIGN double bj[kMaxDoubleLanes];
    HWY_ALIGN double by[kMaxDoubleLanes];
    hn::Store(x, d, bx);
    const size_t lanes = hn::Lanes(d);
    for (size_t i = 0; i < lanes; ++i) {
        const BesselPair b = besselZero(std::fabs(bx[i]));
        bj[i] = b.j0;
        by[i] = b.y0;
    }
    *re = hn::Load(d, bj);
    *im = hn::Load(d, by);
}

}  // namespace HWY_NAMESPACE
}  // namespace ils
HWY_AFTER_NAMESPACE();

#endif  // per-target include guard
