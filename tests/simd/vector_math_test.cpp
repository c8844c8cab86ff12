// The vector transcendental functions against the standard library (and the
// scalar Bessel polynomials) on edge and randomised inputs, for every
// instruction set; and the lane-wise purity the kernels rely on.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <random>
#include <vector>

#include "interface/types.h"
#include "scatter/hankel.h"
#include "simd/vector_math.h"
#include "simd_targets.h"

namespace ils::test {
namespace {

constexpr double kRel = 1e-13;
constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kHalfPi = 1.5707963267948966;

// Magnitudes spread evenly in log scale between lo and hi, either sign.
std::vector<double> logUniform(std::mt19937_64& rng, int n, double lo, double hi) {
    std::uniform_real_distribution<double> e(std::log(lo), std::log(hi));
    std::bernoulli_distribution neg(0.5);
    std::vector<double> v;
    for (int i = 0; i < n; ++i) v.push_back((neg(rng) ? -1.0 : 1.0) * std::exp(e(rng)));
    return v;
}

std::vector<double> uniform(std::mt19937_64& rng, int n, double lo, double hi) {
    std::uniform_real_distribution<double> u(lo, hi);
    std::vector<double> v;
    for (int i = 0; i < n; ++i) v.push_back(u(rng));
    return v;
}

// Doubles nearest to k pi/2 and their neighbours, where sin or cos is tiny
// and a reduction that loses bits of pi/2 fails.
std::vector<double> nearHalfPiMultiples(double around, int count) {
    std::vector<double> v;
    const double k0 = std::floor(around / kHalfPi);
    for (int i = 0; i < count; ++i) {
        const double x = (k0 + i) * kHalfPi;
        v.push_back(x);
        v.push_back(std::nextafter(x, kInf));
        v.push_back(std::nextafter(x, -kInf));
        v.push_back(-x);
    }
    return v;
}

std::vector<double> sinCosInputs() {
    std::mt19937_64 rng(1234);
    std::vector<double> v = {0.0, -0.0, 5e-324, -5e-324, 1e-300, 1e-20, 1e-8, 0.1, 0.5,
                             0.7853981633974483, 0.7853981633974484, kHalfPi, 3.141592653589793,
                             4.71238898038469, 6.283185307179586, 100.0, 12345.678, 39000.0,
                             39001.5, 1e5, 6.5e5, 1e6, 1e7, -1e7, 2e7, 1e8, 2e8, 1e12, 1e300,
                             kInf, -kInf, kNaN};
    for (double a : {1.0, 100.0, 1e4, 1e6, 6.4e6, 1e7}) {
        const auto m = nearHalfPiMultiples(a, 8);
        v.insert(v.end(), m.begin(), m.end());
    }
    for (auto [lo, hi] : {std::pair{-7.0, 7.0}, {-1e3, 1e3}, {-1e6, 1e6}, {-1.1e7, 1.1e7}}) {
        const auto u = uniform(rng, 2000, lo, hi);
        v.insert(v.end(), u.begin(), u.end());
    }
    const auto l = logUniform(rng, 3000, 1e-12, 1e9);
    v.insert(v.end(), l.begin(), l.end());
    return v;
}

// Some C libraries (mingw-w64's x87 fsin) reduce large arguments with a
// 66-bit pi/2, tens of ulps off near 1e7 and worse near multiples of pi/2.
// sin(1e7) = 0x1.aea414a8a3352p-2 correctly rounded (from a 200-bit
// evaluation).
bool libraryReducesExactly() {
    volatile double x = 1e7;
    return std::sin(x) == 0x1.aea414a8a3352p-2;
}

// x = n pi/2 + r with fused multiply-adds: x - n P1 is exact, the two
// further parts of pi/2 round once each; returns n mod 4.
int reduceWithFma(double x, double& r) {
    const double n = std::nearbyint(x * 0x1.45f306dc9c883p-1);
    r = std::fma(-n, 0x1.921fb54442d18p+0, x);
    r = std::fma(-n, 0x1.1a62633145c07p-54, r);
    r = std::fma(-n, -0x1.f1976b7ed8fbcp-110, r);
    return static_cast<int>(n - 4.0 * std::floor(n / 4.0));
}

// std::sin and std::cos, or where the library reduces inexactly, the same
// functions of the argument reduced above.
void referenceSinCos(double x, double& s, double& c) {
    static const bool exact = libraryReducesExactly();
    if (exact || !(std::fabs(x) <= 1e8)) {
        s = std::sin(x);
        c = std::cos(x);
        return;
    }
    double r;
    const int q = reduceWithFma(x, r);
    const double sr = std::sin(r), cr = std::cos(r);
    const double sv[4] = {sr, cr, -sr, -cr}, cv[4] = {cr, -sr, -cr, sr};
    s = x == 0.0 ? x : sv[q];
    c = cv[q];
}

// The system's sinc, its sine taken as referenceSinCos does.
double referenceSinc(double x) {
    if (libraryReducesExactly() || std::fabs(x) < 0.0001) return sinc(x);
    double s, c;
    referenceSinCos(x, s, c);
    return s / x;
}

TEST(VectorMath, SinCosAgreeWithTheStandardLibrary) {
    const std::vector<double> x = sinCosInputs();
    if (!libraryReducesExactly()) std::printf("C library sin inexact at 1e7: reference reduced\n");
    forEachVectorTarget([&](int64_t) {
        std::vector<double> s(x.size()), c(x.size());
        vectorSinCos(x.data(), x.size(), s.data(), c.data());
        for (size_t i = 0; i < x.size(); ++i) {
            SCOPED_TRACE(x[i]);
            double rs, rc;
            referenceSinCos(x[i], rs, rc);
            EXPECT_TRUE(agrees(s[i], rs, kRel, 0.0));
            EXPECT_TRUE(agrees(c[i], rc, kRel, 0.0));
        }
    });
}

// The reference itself: where the library reduces exactly, the reduction
// above gives the library's values.
TEST(VectorMath, ReferenceReductionMatchesAnExactLibrary) {
    if (!libraryReducesExactly()) GTEST_SKIP() << "the C library reduces large arguments inexactly";
    for (double x : sinCosInputs()) {
        if (!(std::fabs(x) <= 1e8)) continue;
        SCOPED_TRACE(x);
        double r;
        const int q = reduceWithFma(x, r);
        const double sv[4] = {std::sin(r), std::cos(r), -std::sin(r), -std::cos(r)};
        EXPECT_TRUE(agrees(x == 0.0 ? x : sv[q], std::sin(x), kRel, 0.0));
    }
}

TEST(VectorMath, SincFollowsTheSmallArgumentRule) {
    std::mt19937_64 rng(99);
    std::vector<double> x = {0.0, -0.0, 1e-300, 1e-9, 9.999999999999999e-5, 1e-4,
                             -1e-4, std::nextafter(1e-4, 0.0), std::nextafter(-1e-4, 0.0),
                             1.0001e-4, 3.141592653589793, -3.141592653589793,
                             6.283185307179586, 31.4159265359, 18.849555921540002, 1e6, kInf};
    for (double k = 1; k < 50; ++k) x.push_back(k * 3.141592653589793);
    for (double a : {1e3, 1e6, 1e7, 9e7}) {
        const auto m = nearHalfPiMultiples(a, 8);
        x.insert(x.end(), m.begin(), m.end());
    }
    const auto u = uniform(rng, 2000, -60.0, 60.0);
    x.insert(x.end(), u.begin(), u.end());
    const auto l = logUniform(rng, 2000, 1e-7, 1e7);
    x.insert(x.end(), l.begin(), l.end());
    forEachVectorTarget([&](int64_t) {
        std::vector<double> out(x.size());
        vectorSinc(x.data(), x.size(), out.data());
        for (size_t i = 0; i < x.size(); ++i) {
            SCOPED_TRACE(x[i]);
            EXPECT_TRUE(agrees(out[i], referenceSinc(x[i]), kRel, 0.0));
        }
    });
}

TEST(VectorMath, Atan2AgreesInEveryQuadrantAndAtZeros) {
    std::mt19937_64 rng(7);
    std::vector<double> y = {0.0, -0.0, 0.0, -0.0, 1.0, -1.0, 1.0, -1.0, 0.0, -0.0, 1e-300,
                             1e300, -2.0, 3.0, 1.0, 1.0, kInf, -kInf, kInf, 1.0, kNaN, 1.0};
    std::vector<double> x = {0.0, 0.0, -0.0, -0.0, 0.0, -0.0, -0.0, 0.0, 1.0, -1.0, 1e300,
                             1e-300, -2.0, 3.0, 0.41421356237309503, 2.414213562373095, kInf,
                             -kInf, 1.0, kInf, 1.0, kNaN};
    for (int i = 0; i < 4000; ++i) {
        const auto a = logUniform(rng, 2, 1e-8, 1e8);
        y.push_back(a[0]);
        x.push_back(a[1]);
    }
    const auto uy = uniform(rng, 2000, -1.0, 1.0), ux = uniform(rng, 2000, -1.0, 1.0);
    y.insert(y.end(), uy.begin(), uy.end());
    x.insert(x.end(), ux.begin(), ux.end());
    forEachVectorTarget([&](int64_t) {
        std::vector<double> out(x.size());
        vectorAtan2(y.data(), x.data(), x.size(), out.data());
        for (size_t i = 0; i < x.size(); ++i) {
            SCOPED_TRACE(testing::Message() << "y " << y[i] << " x " << x[i]);
            EXPECT_TRUE(agrees(out[i], std::atan2(y[i], x[i]), kRel, 0.0));
        }
    });
}

TEST(VectorMath, LogAgreesFromSubnormalsToHugeValues) {
    std::mt19937_64 rng(3);
    std::vector<double> x = {1.0, 2.0, 0.5, 1.5, 1.4142135623730951, 1.414213562373095,
                             0.7071067811865476, std::nextafter(1.0, 2.0),
                             std::nextafter(1.0, 0.0), 1.0 + 1e-10, 1.0 - 1e-10, 5e-324,
                             1e-310, 2.2250738585072014e-308, 1e-300, 1e300,
                             1.7976931348623157e308, 0.0, -0.0, -1.0, kInf, -kInf, kNaN};
    auto l = logUniform(rng, 3000, 1e-300, 1e300);
    for (double& v : l) v = std::fabs(v);
    x.insert(x.end(), l.begin(), l.end());
    const auto u = uniform(rng, 2000, 0.5, 3.0);
    x.insert(x.end(), u.begin(), u.end());
    forEachVectorTarget([&](int64_t) {
        std::vector<double> out(x.size());
        vectorLog(x.data(), x.size(), out.data());
        for (size_t i = 0; i < x.size(); ++i) {
            SCOPED_TRACE(x[i]);
            EXPECT_TRUE(agrees(out[i], std::log(x[i]), kRel, 0.0));
        }
    });
}

std::vector<double> hankelInputs() {
    std::mt19937_64 rng(11);
    std::vector<double> x = {1e-300, 1e-10, 1e-3, 0.5, 1.0, 2.0, 2.404825557695773, 2.9999999,
                             std::nextafter(3.0, 0.0), 3.0, std::nextafter(3.0, 4.0), 3.0000001,
                             3.957678419314858, 5.520078110286311, 10.0, 1e3, 1e6, -0.5, -3.0,
                             -7.5};
    const auto a = uniform(rng, 2000, 0.0, 3.0);
    const auto b = uniform(rng, 2000, 3.0, 60.0);
    const auto c = logUniform(rng, 2000, 1e-6, 1e6);
    for (const auto* v : {&a, &b, &c}) x.insert(x.end(), v->begin(), v->end());
    return x;
}

// The values are of order one and the polynomials cancel near the zeros of
// J0 and Y0: relative agreement with an absolute floor of 1e-15.
TEST(VectorMath, HankelMatchesTheScalarPolynomials) {
    const std::vector<double> x = hankelInputs();
    forEachVectorTarget([&](int64_t) {
        std::vector<double> re(x.size()), im(x.size());
        vectorHankel0First(x.data(), x.size(), re.data(), im.data());
        for (size_t i = 0; i < x.size(); ++i) {
            SCOPED_TRACE(x[i]);
            const BesselPair b = besselZero(std::fabs(x[i]));
            EXPECT_TRUE(agrees(re[i], b.j0, kRel, 1e-15));
            EXPECT_TRUE(agrees(im[i], b.y0, kRel, 1e-15));
        }
    });
}

// The polynomials approximate J0 and Y0 within about 5e-8 absolute (1e-7
// beyond x = 3 through modulus and phase): a check of their coefficients
// against the standard library's Bessel functions.
TEST(VectorMath, HankelApproximatesTheBesselFunctions) {
    std::vector<double> x;
    for (double v = 0.05; v < 40.0; v += 0.05) x.push_back(v);
    std::vector<double> re(x.size()), im(x.size());
    vectorHankel0First(x.data(), x.size(), re.data(), im.data());
    for (size_t i = 0; i < x.size(); ++i) {
        SCOPED_TRACE(x[i]);
        EXPECT_NEAR(re[i], std::cyl_bessel_j(0.0, x[i]), 1e-7);
        EXPECT_NEAR(im[i], std::cyl_neumann(0.0, x[i]), 1e-7);
    }
    double re0, im0;
    const double zero = 0.0;
    vectorHankel0First(&zero, 1, &re0, &im0);
    EXPECT_NEAR(re0, 1.0, 1e-7);
    EXPECT_TRUE(std::isinf(im0) && im0 < 0);
}

bool sameBits(double a, double b) { return std::memcmp(&a, &b, sizeof a) == 0; }

// Every instruction set gives the same bits: the vector code has no fused
// multiply-adds and only correctly rounded operations.
TEST(VectorMath, EveryTargetGivesTheSameBits) {
    std::mt19937_64 rng(8);
    const std::vector<double> x = logUniform(rng, 3000, 1e-6, 1e7);
    const std::vector<double> y = logUniform(rng, 3000, 1e-3, 1e3);
    std::vector<double> ay(y.size());
    for (size_t i = 0; i < y.size(); ++i) ay[i] = std::fabs(y[i]);
    std::vector<std::vector<double>> first;
    forEachVectorTarget([&](int64_t) {
        const size_t n = x.size();
        std::vector<std::vector<double>> r(7, std::vector<double>(n));
        vectorSinCos(x.data(), n, r[0].data(), r[1].data());
        vectorSinc(x.data(), n, r[2].data());
        vectorAtan2(y.data(), x.data(), n, r[3].data());
        vectorLog(ay.data(), n, r[4].data());
        vectorHankel0First(y.data(), n, r[5].data(), r[6].data());
        if (first.empty()) {
            first = r;
            return;
        }
        for (size_t f = 0; f < r.size(); ++f) {
            size_t differing = 0;
            for (size_t i = 0; i < n; ++i) differing += !sameBits(r[f][i], first[f][i]);
            EXPECT_EQ(differing, 0u) << "function " << f;
        }
    });
}

// Vectors whose lanes are all near zero skip the reduction; a small value
// gives the same bits there as in a vector whose other lanes need it.
TEST(VectorMath, SmallArgumentsSkipTheReductionWithTheSameBits) {
    std::mt19937_64 rng(11);
    std::vector<double> small = uniform(rng, 400, -1.6, 1.6);
    for (double v : {0.0, -0.0, 5e-324, -1e-300, 1e-8, 0.78, -0.78, std::nextafter(0.78, 1.0),
                     0.7853981633974483, 1.57, -1.57, std::nextafter(1.57, 2.0), kHalfPi})
        small.push_back(v);
    // Interleaved with values far from zero, every vector of two or more
    // lanes takes the reduction.
    std::vector<double> mixed;
    for (double v : small) {
        mixed.push_back(v);
        mixed.push_back(1234.5);
    }
    forEachVectorTarget([&](int64_t) {
        const size_t n = small.size();
        std::vector<double> s(n), c(n), sn(n), s2(2 * n), c2(2 * n), sn2(2 * n);
        vectorSinCos(small.data(), n, s.data(), c.data());
        vectorSinc(small.data(), n, sn.data());
        vectorSinCos(mixed.data(), 2 * n, s2.data(), c2.data());
        vectorSinc(mixed.data(), 2 * n, sn2.data());
        for (size_t i = 0; i < n; ++i) {
            SCOPED_TRACE(testing::Message() << "x = " << small[i]);
            EXPECT_TRUE(sameBits(s[i], s2[2 * i]));
            EXPECT_TRUE(sameBits(c[i], c2[2 * i]));
            EXPECT_TRUE(sameBits(sn[i], sn2[2 * i]));
            double rs, rc;
            referenceSinCos(small[i], rs, rc);
            EXPECT_TRUE(agrees(s[i], rs, kRel, 0.0));
            EXPECT_TRUE(agrees(c[i], rc, kRel, 0.0));
        }
    });
}

// A value's result is the same bits wherever it sits in the array: at every
// offset from a vector boundary and in the padded last vector.
TEST(VectorMath, ResultsDoNotDependOnTheLane) {
    std::mt19937_64 rng(5);
    std::vector<double> x = uniform(rng, 37, -1e6, 1e6);
    x[5] = 2e8;  // a lane that takes the wide-range path
    x[6] = 1e-5;
    x[7] = kNaN;
    std::vector<double> y = uniform(rng, 37, -3.0, 3.0);
    forEachVectorTarget([&](int64_t) {
        const size_t n = x.size();
        std::vector<double> s(n), c(n), sn(n), lg(n), at(n), hr(n), hi(n);
        vectorSinCos(x.data(), n, s.data(), c.data());
        vectorSinc(x.data(), n, sn.data());
        vectorLog(y.data(), n, lg.data());
        vectorAtan2(y.data(), x.data(), n, at.data());
        vectorHankel0First(y.data(), n, hr.data(), hi.data());
        for (size_t shift = 1; shift < 9; ++shift) {
            const size_t m = n - shift;
            std::vector<double> s2(m), c2(m), sn2(m), lg2(m), at2(m), hr2(m), hi2(m);
            vectorSinCos(x.data() + shift, m, s2.data(), c2.data());
            vectorSinc(x.data() + shift, m, sn2.data());
            vectorLog(y.data() + shift, m, lg2.data());
            vectorAtan2(y.data() + shift, x.data() + shift, m, at2.data());
            vectorHankel0First(y.data() + shift, m, hr2.data(), hi2.data());
            for (size_t i = 0; i < m; ++i) {
                SCOPED_TRACE(testing::Message() << "shift " << shift << " element " << i);
                EXPECT_TRUE(sameBits(s2[i], s[i + shift]));
                EXPECT_TRUE(sameBits(c2[i], c[i + shift]));
                EXPECT_TRUE(sameBits(sn2[i], sn[i + shift]));
                EXPECT_TRUE(sameBits(lg2[i], lg[i + shift]));
                EXPECT_TRUE(sameBits(at2[i], at[i + shift]));
                EXPECT_TRUE(sameBits(hr2[i], hr[i + shift]));
                EXPECT_TRUE(sameBits(hi2[i], hi[i + shift]));
            }
        }
    });
}

}  // namespace
}  // namespace ils::test
