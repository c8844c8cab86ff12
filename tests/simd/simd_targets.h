// Runs a check once for every instruction set that the vector code was
// compiled for and this machine supports, and compares vector results with
// the standard library.
#pragma once

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "hwy/highway.h"
#include "simd/dispatch.h"
#include "simd/vector_math.h"

namespace ils::test {

// The instruction sets to try: all generated and supported ones with
// run-time dispatch, the single compiled one without it.
inline std::vector<int64_t> vectorTargets() {
#if defined(HWY_COMPILE_ONLY_STATIC)
    return {HWY_STATIC_TARGET};
#else
    std::vector<int64_t> targets;
    const uint64_t both = static_cast<uint64_t>(supportedVectorTargets() & HWY_TARGETS);
    for (uint64_t bit = 1; bit != 0; bit <<= 1)
        if (both & bit) targets.push_back(static_cast<int64_t>(bit));
    return targets;
#endif
}

// Calls check() with each target selected; the dispatched functions must
// report the target that was selected.
template <class F>
void forEachVectorTarget(F check) {
    const std::vector<int64_t> targets = vectorTargets();
    ASSERT_FALSE(targets.empty());
    for (int64_t t : targets) {
#if !defined(HWY_COMPILE_ONLY_STATIC)
        setVectorTargetsForTest(t);
#endif
        SCOPED_TRACE(std::string("target ") + hwy::TargetName(t));
        EXPECT_STREQ(vectorTargetName(), hwy::TargetName(t));
        check(t);
    }
#if !defined(HWY_COMPILE_ONLY_STATIC)
    setVectorTargetsForTest(0);
#endif
}

// |actual - expected| <= rel |expected| + abs; equal infinities and both NaN
// also agree. Signed zeros must match where the expected value is a zero.
inline ::testing::AssertionResult agrees(double actual, double expected, double rel, double abs) {
    if (std::isnan(expected) && std::isnan(actual)) return ::testing::AssertionSuccess();
    if (std::isinf(expected) && actual == expected) return ::testing::AssertionSuccess();
    if (expected == 0.0 && actual == 0.0 && std::signbit(actual) != std::signbit(expected))
        return ::testing::AssertionFailure() << "zero of the wrong sign: " << actual;
    const double diff = std::fabs(actual - expected);
    if (std::isfinite(actual) && diff <= rel * std::fabs(expected) + abs)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure()
           << "actual " << std::hexfloat << actual << " expected " << expected << std::defaultfloat
           << " (" << actual << " vs " << expected << ", diff " << diff << ")";
}

}  // namespace ils::test
