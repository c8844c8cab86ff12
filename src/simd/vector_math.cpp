// Array loops over the vector mathematics, compiled once per instruction
// set; the last partial vector is padded, so every element takes the same
// path through the same code.
#include "simd/vector_math.h"

#undef HWY_TARGET_INCLUDE
#define HWY_TARGET_INCLUDE "simd/vector_math.cpp"
#include "hwy/foreach_target.h"  // IWYU pragma: keep

#include "hwy/highway.h"
#include "simd/dispatch.h"
#include "simd/vector_math-inl.h"

HWY_BEFORE_NAMESPACE();
namespace ils {
namespace HWY_NAMESPACE {
namespace {

// Calls f(d, i, count) for each vector of [0, n): count = Lanes(d) but for
// the last, shorter one.
template <class F>
void forEachVector(std::size_t n, F f) {
    const hn::ScalableTag<double> d;
    const std::size_t lanes = hn::Lanes(d);
    for (std::size_t i = 0; i < n; i += lanes) f(d, i, n - i < lanes ? n - i : lanes);
}

// Full vectors straight from and to the arrays; the last one padded.
template <class D>
hn::Vec<D> load(D d, const double* p, std::size_t count, double fill) {
    return count == hn::Lanes(d) ? hn::LoadU(d, p) : LoadPadded(d, p, count, fill);
}
template <class D>
void store(hn::Vec<D> v, D d, double* p, std::size_t count) {
    if (count == hn::Lanes(d)) {
        hn::StoreU(v, d, p);
    } else {
        StorePartial(v, d, p, count);
    }
}

// out1[i], out2[i] = f(x[i]) for a function of one argument and two results.
template <class F>
void twoResults(const double* x, std::size_t n, double fill, double* out1, double* out2, F f) {
    forEachVector(n, [&](auto d, std::size_t i, std::size_t count) {
        hn::Vec<decltype(d)> v1, v2;
        f(d, load(d, x + i, count, fill), &v1, &v2);
        store(v1, d, out1 + i, count);
        store(v2, d, out2 + i, count);
    });
}

}  // namespace

void SinCosArray(const double* x, std::size_t n, double* s, double* c) {
    twoResults(x, n, 0.0, s, c, [](auto d, auto v, auto* vs, auto* vc) { SinCos(d, v, vs, vc); });
}

void SincArray(const double* x, std::size_t n, double* out) {
    forEachVector(n, [&](auto d, std::size_t i, std::size_t count) {
        store(Sinc(d, load(d, x + i, count, 0.0)), d, out + i, count);
    });
}

void Atan2Array(const double* y, const double* x, std::size_t n, double* out) {
    forEachVector(n, [&](auto d, std::size_t i, std::size_t count) {
        const auto vy = load(d, y + i, count, 0.0);
        const auto vx = load(d, x + i, count, 1.0);
        store(Atan2(d, vy, vx), d, out + i, count);
    });
}

void LogArray(const double* x, std::size_t n, double* out) {
    forEachVector(n, [&](auto d, std::size_t i, std::size_t count) {
        store(Log(d, load(d, x + i, count, 1.0)), d, out + i, count);
    });
}

void Hankel0FirstArray(const double* x, std::size_t n, double* re, double* im) {
    twoResults(x, n, 1.0, re, im,
               [](auto d, auto v, auto* vr, auto* vi) { Hankel0First(d, v, vr, vi); });
}

const char* TargetNameNow() { return hwy::TargetName(HWY_TARGET); }

}  // namespace HWY_NAMESPACE
}  // namespace ils
HWY_AFTER_NAMESPACE();

#if HWY_ONCE
namespace ils {

ILS_VECTOR_EXPORT(SinCosArray);
ILS_VECTOR_EXPORT(SincArray);
ILS_VECTOR_EXPORT(Atan2Array);
ILS_VECTOR_EXPORT(LogArray);
ILS_VECTOR_EXPORT(Hankel0FirstArray);
ILS_VECTOR_EXPORT(TargetNameNow);

void vectorSinCos(const double* x, std::size_t n, double* s, double* c) {
    ILS_VECTOR_DISPATCH(SinCosArray)(x, n, s, c);
}
void vectorSinc(const double* x, std::size_t n, double* out) {
    ILS_VECTOR_DISPATCH(SincArray)(x, n, out);
}
void vectorAtan2(const double* y, const double* x, std::size_t n, double* out) {
    ILS_VECTOR_DISPATCH(Atan2Array)(y, x, n, out);
}
void vectorLog(const double* x, std::size_t n, double* out) {
    ILS_VECTOR_DISPATCH(LogArray)(x, n, out);
}
void vectorHankel0First(const double* x, std::size_t n, double* re, double* im) {
    ILS_VECTOR_DISPATCH(Hankel0FirstArray)(x, n, re, im);
}
const char* vectorTargetName() { return ILS_VECTOR_DISPATCH(TargetNameNow)(); }

}  // namespace ils
#endif
