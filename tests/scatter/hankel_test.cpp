// The Hankel function of the wire current against reference values of J0
// and Y0, and its outgoing-wave form.
#include <cmath>
#include <numbers>

#include "scatter/hankel.h"
#include "support/test_support.h"

namespace ils {
namespace {

// Stated accuracy of the polynomial approximations: |error| below 5e-8 for
// J0 and 1.4e-8 (plus the log term's share of the J0 error) for Y0 up to
// x = 3; beyond, modulus within 1.6e-8 and phase within 7e-8, i.e. about
// 9e-8 / sqrt(x) on either function.
double allowedError(double x) {
    if (x <= 3.0) return 5e-8 + 1.4e-8 + 0.6366 * std::fabs(std::log(x / 2.0)) * 5e-8;
    return 9e-8 / std::sqrt(x);
}

TEST(Hankel, MatchesTabulatedBesselFunctions) {
    // J0 and Y0 to ten decimals, Abramowitz and Stegun, Table 9.1.
    struct Ref {
        double x, j0, y0;
    };
    const Ref refs[] = {
        {0.5, 0.9384698072, -0.4445187335}, {1.0, 0.7651976866, 0.0882569642},
        {2.0, 0.2238907791, 0.5103756726},  {2.5, -0.0483837765, 0.4980703596},
        {3.0, -0.2600519549, 0.3768500100}, {3.5, -0.3801277400, 0.1890219439},
        {5.0, -0.1775967713, -0.3085176252}, {10.0, -0.2459357645, 0.0556711673},
    };
    for (const Ref& r : refs) {
        const Complex h = hankelFirstKindZero(r.x);
        EXPECT_NEAR(h.real(), r.j0, allowedError(r.x)) << "x = " << r.x;
        EXPECT_NEAR(h.imag(), r.y0, allowedError(r.x)) << "x = " << r.x;
        // The argument's sign does not matter.
        EXPECT_EQ(hankelFirstKindZero(-r.x), h);
    }
}

TEST(Hankel, WithinStatedAccuracyOverTheRange) {
    // Library reference values, used by the tests only.
    for (double x = 0.01; x < 60.0; x *= 1.07) {
        const BesselPair b = besselZero(x);
        EXPECT_NEAR(b.j0, std::cyl_bessel_j(0.0, x), allowedError(x)) << "x = " << x;
        EXPECT_NEAR(b.y0, std::cyl_neumann(0.0, x), allowedError(x)) << "x = " << x;
    }
    // The outgoing wave of the exp(+j k R) convention: far out H0(1)(x)
    // approaches sqrt(2 / (pi x)) exp(j (x - pi / 4)).
    for (const double x : {40.0, 60.0}) {
        const Complex h = hankelFirstKindZero(x);
        const Complex wave = std::sqrt(2.0 / (std::numbers::pi * x)) * std::exp(Complex(0.0, x - std::numbers::pi / 4.0));
        EXPECT_LT(std::abs(h - wave), 0.01 * std::abs(wave)) << x;
    }
    // Both forms meet at x = 3 without a visible step.
    const BesselPair below = besselZero(3.0), above = besselZero(std::nextafter(3.0, 4.0));
    EXPECT_NEAR(below.j0, above.j0, 2e-7);
    EXPECT_NEAR(below.y0, above.y0, 2e-7);
    // A thin wire's argument: Y0 dominates with its logarithm, still finite.
    const Complex thin = hankelFirstKindZero(1e-12);
    EXPECT_TRUE(std::isfinite(thin.imag()));
    EXPECT_NEAR(thin.imag(), std::cyl_neumann(0.0, 1e-12), 1e-6);
}

}  // namespace
}  // namespace ils
