// The kernels' sinc of an angle whose sine came from a sum of angles: lanes
// within 1/2 of zero from the series of sinc x alone (the given sine unused),
// the others the quotient of the given sine, in vectors whose lanes are all
// near zero, all away from it, or mixed.
#include <gtest/gtest.h>

#include <cmath>
#include <cstddef>
#include <random>
#include <vector>

#undef HWY_TARGET_INCLUDE
#define HWY_TARGET_INCLUDE "simd/sinc_of_angle_sum_test.cpp"
#include "hwy/foreach_target.h"  // IWYU pragma: keep

#include "hwy/highway.h"
#include "simd/dispatch.h"
#include "simd/field_lanes-inl.h"

HWY_BEFORE_NAMESPACE();
namespace ils {
namespace HWY_NAMESPACE {

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
ILS_VECTOR_EXPORT(SincOfAngleSumLanes);

namespace test {
namespace {

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
