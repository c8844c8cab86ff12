// What the field kernels share, on every instruction set: the finiteness
// test of a contribution (the sum of its eight values times zero), lane by
// lane, against std::isfinite on every value; and the sinc of an angle whose
// sine came from a sum of angles: lanes within 1/2 of zero from the series
// of sinc x alone (the given sine unused), the others the quotient of the
// given sine, in vectors whose lanes are all near zero, all away from it, or
// mixed.
#include <gtest/gtest.h>

#include <cmath>
#include <cstddef>
#include <limits>
#include <random>
#include <vector>

#undef HWY_TARGET_INCLUDE
#define HWY_TARGET_INCLUDE "simd/field_lanes_test.cpp"
#include "hwy/foreach_target.h"  // IWYU pragma: keep

#include "hwy/highway.h"
#include "simd/dispatch.h"
#include "simd/field_lanes-inl.h"

HWY_BEFORE_NAMESPACE();
namespace ils {
namespace HWY_NAMESPACE {

// values: 8 rows of one vector each (CSB re, im, SBO re, im, f90, f150, f0,
// f60); finite[l] = 1 where lane l's contribution counts as finite.
std::size_t FiniteLanes(const double* values, double* finite) {
    const DoubleTag d;
    const std::size_t lanes = hn::Lanes(d);
    auto row = [&](int r) { return hn::LoadU(d, values + r * lanes); };
    const ComplexLanes csb{row(0), row(1)}, sbo{row(2), row(3)};
    const DopplerLanes f{row(4), row(5), row(6), row(7)};
    hn::StoreU(hn::IfThenElseZero(FiniteContribution(d, csb, sbo, f), hn::Set(d, 1.0)), d, finite);
    return lanes;
}

// out[i] = SincOfAngleSum(x[i], sinX[i]) in vectors of consecutive values;
// n a multiple of 64 (every target's lane count divides it).
std::size_t SincOfAngleSumLanes(const double* x, const double* sinX, double* out, std::size_t n) {
    const DoubleTag d;
    const std::size_t lanes = hn::Lanes(d);
    for (std::size_t i = 0; i < n; i += lanes) {
        hn::StoreU(SincOfAngleSum(d, hn::LoadU(d, x + i), hn::LoadU(d, sinX + i)), d, out + i);
    }
    return lanes;
}

}  // namespace HWY_NAMESPACE
}  // namespace ils
HWY_AFTER_NAMESPACE();

#if HWY_ONCE
#include "simd_targets.h"

namespace ils {
ILS_VECTOR_EXPORT(FiniteLanes);
ILS_VECTOR_EXPORT(SincOfAngleSumLanes);

namespace test {
namespace {

TEST(FiniteContribution, FlagsExactlyTheLanesHoldingAnInfinityOrNaN) {
    const double inf = std::numeric_limits<double>::infinity();
    const double bad[] = {inf, -inf, std::nan(""), -std::nan("")};
    // Finite values whose product with zero is a zero of either sign, and
    // whose sum with the others stays zero.
    const double good[] = {0.0, -0.0, 1.0, -2.5, 1.7976931348623157e308, -1.7976931348623157e308,
                           4.9e-324, 1e-300};
    forEachVectorTarget([&](int64_t) {
        std::vector<double> values(8 * 64), finite(64);
        const std::size_t lanes = ILS_VECTOR_DISPATCH(FiniteLanes)(values.data(), finite.data());
        for (std::size_t l = 0; l < lanes; ++l) EXPECT_EQ(finite[l], 1.0);
        for (int row = 0; row < 8; ++row) {
            for (std::size_t lane = 0; lane < lanes; ++lane) {
                for (double v : bad) {
                    // Every other lane and value finite, of every kind.
                    for (std::size_t i = 0; i < 8 * lanes; ++i) values[i] = good[(i * 3 + lane) % 8];
                    values[row * lanes + lane] = v;
                    ILS_VECTOR_DISPATCH(FiniteLanes)(values.data(), finite.data());
                    for (std::size_t l = 0; l < lanes; ++l)
                        EXPECT_EQ(finite[l], l == lane ? 0.0 : 1.0)
                            << "row " << row << " lane " << lane << " value " << v << " at lane " << l;
                }
            }
        }
    });
}

double referenceSinc(double x) {
    return x == 0.0 ? 1.0 : static_cast<double>(std::sin(static_cast<long double>(x)) / x);
}

TEST(SincOfAngleSum, SeriesNearZeroQuotientElsewhereInEveryMixOfLanes) {
    std::mt19937_64 rng(7);
    std::uniform_real_distribution<double> nearZero(-0.5, 0.5), away(0.5, 40.0), sign(-1.0, 1.0);
    forEachVectorTarget([&](int64_t) {
        constexpr std::size_t kN = 64 * 64;
        std::vector<double> x(kN), sinX(kN), out(kN);
        // Blocks of 64 values: all near zero, all away, then mixed at random.
        for (std::size_t i = 0; i < kN; ++i) {
            const std::size_t block = i / 64;
            const bool near = block % 3 == 0 || (block % 3 == 2 && rng() % 2 == 0);
            x[i] = near ? nearZero(rng) : std::copysign(away(rng), sign(rng));
            if (i % 97 == 0) x[i] = (i % 2) ? -0.0 : 0.0;
            if (i % 89 == 0) x[i] = std::nextafter(0.5, 0.0);
            // A sine with the absolute error of a sum of angles, scaled up
            // so that a near lane which used it would be seen.
            sinX[i] = std::sin(x[i]) + 1e-12;
        }
        ILS_VECTOR_DISPATCH(SincOfAngleSumLanes)(x.data(), sinX.data(), out.data(), kN);
        for (std::size_t i = 0; i < kN; ++i) {
            if (std::fabs(x[i]) < 0.5) {
                // The series: within 2 ulp of sinc x.
                EXPECT_NEAR(out[i], referenceSinc(x[i]), 2.3e-16) << "x = " << x[i];
            } else {
                EXPECT_EQ(out[i], sinX[i] / x[i]) << "x = " << x[i];
            }
        }
    });
}

TEST(SincOfAngleSum, ZerosAndNonFiniteValues) {
    forEachVectorTarget([&](int64_t) {
        std::vector<double> x(64, 0.25), sinX(64, std::sin(0.25)), out(64);
        x[0] = 0.0;
        x[1] = -0.0;
        x[2] = std::nan("");
        x[3] = HUGE_VAL;
        sinX[2] = std::nan("");
        sinX[3] = 0.5;
        ILS_VECTOR_DISPATCH(SincOfAngleSumLanes)(x.data(), sinX.data(), out.data(), 64);
        EXPECT_EQ(out[0], 1.0);
        EXPECT_EQ(out[1], 1.0);
        EXPECT_TRUE(std::isnan(out[2]));
        EXPECT_EQ(out[3], 0.0);
        EXPECT_NEAR(out[4], std::sin(0.25) / 0.25, 2.3e-16);
    });
}

}  // namespace
}  // namespace test
}  // namespace ils
#endif
