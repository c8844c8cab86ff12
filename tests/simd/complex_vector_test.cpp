// The complex-vector operations and the load/store helpers of the vector
// mathematics, compiled for every instruction set, against std::complex.
#include <gtest/gtest.h>

#include <complex>
#include <cstddef>
#include <random>
#include <vector>

#undef HWY_TARGET_INCLUDE
#define HWY_TARGET_INCLUDE "simd/complex_vector_test.cpp"
#include "hwy/foreach_target.h"  // IWYU pragma: keep

#include "hwy/highway.h"
#include "simd/dispatch.h"
#include "simd/vector_math-inl.h"

using Cx = std::complex<double>;

HWY_BEFORE_NAMESPACE();
namespace ils {
namespace HWY_NAMESPACE {

// Per element: out[0] = a b, out[1] = a b + c, out[2] = a - conj(b),
// out[3] = (a + c) s, out[4] = a / s, out[5] = exp(j arg(c)) from |c|'s
// phase angle s, each written through the interleaved store.
void ComplexOps(const Cx* a, const Cx* b, const Cx* c, const double* s, std::size_t n,
                Cx* out[6]) {
    const hn::ScalableTag<double> d;
    const std::size_t lanes = hn::Lanes(d);
    for (std::size_t i = 0; i + lanes <= n; i += lanes) {
        const auto va = LoadComplex(d, a + i), vb = LoadComplex(d, b + i);
        const auto vc = LoadComplex(d, c + i);
        const auto vs = hn::LoadU(d, s + i);
        StoreComplex(Mul(va, vb), d, out[0] + i);
        StoreComplex(MulAdd(va, vb, vc), d, out[1] + i);
        StoreComplex(Sub(va, Conj(vb)), d, out[2] + i);
        StoreComplex(Scale(Add(va, vc), vs), d, out[3] + i);
        StoreComplex(DivReal(va, vs), d, out[4] + i);
        StoreComplex(UnitPhasor(d, vs), d, out[5] + i);
    }
}

// Copies slot 'slot' of count records of 'slots' complex values each to
// the same slot of dst through the strided helpers, count at most one
// vector, then adds the same values to slot + 1 of dst; returns the lanes
// of a vector.
std::size_t StridedCopy(const Cx* src, Cx* dst, std::size_t slots, std::size_t slot,
                        std::size_t count) {
    const hn::ScalableTag<double> d;
    const auto v = LoadComplexStrided(d, src + slot, slots, count);
    StoreComplexStrided(v, d, dst + slot, slots, count);
    AddComplexStrided(v, d, dst + slot + 1, slots, count);
    return hn::Lanes(d);
}

// Loads count doubles padded with fill and stores them all (a full vector).
std::size_t PaddedLoad(const double* src, std::size_t count, double fill, double* dst) {
    const hn::ScalableTag<double> d;
    hn::StoreU(LoadPadded(d, src, count, fill), d, dst);
    return hn::Lanes(d);
}

}  // namespace HWY_NAMESPACE
}  // namespace ils
HWY_AFTER_NAMESPACE();

#if HWY_ONCE
#include "simd_targets.h"

namespace ils {
ILS_VECTOR_EXPORT(ComplexOps);
ILS_VECTOR_EXPORT(StridedCopy);
ILS_VECTOR_EXPORT(PaddedLoad);

namespace test {
namespace {

constexpr double kRel = 1e-15;

bool close(Cx got, Cx want, double rel) {
    return std::abs(got - want) <= rel * std::abs(want) + 1e-300;
}

TEST(ComplexVector, OperationsAgreeWithStdComplex) {
    std::mt19937_64 rng(21);
    std::uniform_real_distribution<double> u(-10.0, 10.0);
    const std::size_t n = 64;  // a multiple of every vector length
    std::vector<Cx> a(n), b(n), c(n);
    std::vector<double> s(n);
    for (std::size_t i = 0; i < n; ++i) {
        a[i] = {u(rng), u(rng)};
        b[i] = {u(rng), u(rng)};
        c[i] = {u(rng), u(rng)};
        s[i] = u(rng);
    }
    forEachVectorTarget([&](int64_t) {
        std::vector<std::vector<Cx>> out(6, std::vector<Cx>(n));
        Cx* ptr[6];
        for (int k = 0; k < 6; ++k) ptr[k] = out[k].data();
        ILS_VECTOR_DISPATCH(ComplexOps)(a.data(), b.data(), c.data(), s.data(), n, ptr);
        for (std::size_t i = 0; i < n; ++i) {
            SCOPED_TRACE(i);
            // A sum after a product may cancel: compare against the scale.
            const double scale = std::abs(a[i]) * std::abs(b[i]);
            EXPECT_EQ(out[0][i], a[i] * b[i]);  // the same rounding
            EXPECT_LE(std::abs(out[1][i] - (a[i] * b[i] + c[i])),
                      4e-16 * (scale + std::abs(c[i])));
            EXPECT_TRUE(close(out[2][i], a[i] - std::conj(b[i]), kRel));
            EXPECT_TRUE(close(out[3][i], (a[i] + c[i]) * s[i], 4e-16));
            EXPECT_EQ(out[4][i], a[i] / s[i]);
            EXPECT_TRUE(close(out[5][i], std::polar(1.0, s[i]), 1e-13));
        }
    });
}

TEST(ComplexVector, StridedAccessTouchesOnlyItsSlotAndLanes) {
    constexpr std::size_t kSlots = 15;  // a FieldRecord
    forEachVectorTarget([&](int64_t) {
        // Partial and full vectors (a full one is loaded by another path).
        for (std::size_t count = 1; count <= 9; ++count) {
            std::vector<Cx> src(kSlots * 16), dst(kSlots * 16, Cx(-1.0, -1.0));
            for (std::size_t i = 0; i < src.size(); ++i) src[i] = Cx(double(i), 0.5 * double(i));
            const std::size_t lanes = ILS_VECTOR_DISPATCH(StridedCopy)(src.data(), dst.data(),
                                                                        kSlots, 4, count);
            const std::size_t copied = count < lanes ? count : lanes;
            for (std::size_t i = 0; i < dst.size(); ++i) {
                const bool inRecord = i / kSlots < copied;
                Cx want(-1.0, -1.0);
                if (inRecord && i % kSlots == 4) want = src[i];
                if (inRecord && i % kSlots == 5) want = Cx(-1.0, -1.0) + src[i - 1];
                EXPECT_EQ(dst[i], want) << "element " << i << ", count " << count;
            }
        }
    });
}

TEST(ComplexVector, PaddedLoadFillsTheRestOfTheVector) {
    const double src[3] = {1.5, -2.5, 3.5};
    forEachVectorTarget([&](int64_t) {
        double dst[64];
        const std::size_t lanes = ILS_VECTOR_DISPATCH(PaddedLoad)(src, 3, 9.0, dst);
        for (std::size_t i = 0; i < lanes; ++i) EXPECT_EQ(dst[i], i < 3 ? src[i] : 9.0);
    });
}

}  // namespace
}  // namespace test
}  // namespace ils
#endif
