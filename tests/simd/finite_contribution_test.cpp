// The kernels' finiteness test of a contribution (the sum of its eight
// values times zero), lane by lane, against std::isfinite on every value.
#include <gtest/gtest.h>

#include <cmath>
#include <cstddef>
#include <limits>
#include <vector>

#undef HWY_TARGET_INCLUDE
#define HWY_TARGET_INCLUDE "simd/finite_contribution_test.cpp"
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

}  // namespace HWY_NAMESPACE
}  // namespace ils
HWY_AFTER_NAMESPACE();

#if HWY_ONCE
#include "simd_targets.h"

namespace ils {
ILS_VECTOR_EXPORT(FiniteLanes);

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

}  // namespace
}  // namespace test
}  // namespace ils
#endif
