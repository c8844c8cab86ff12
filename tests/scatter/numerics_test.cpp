// Scattering numerics: subdivision distance, element field, Fresnel
// coefficients against the textbook formulas, the polarisation factor's
// limits and its stability at normal incidence, Doppler filter factors.
#include <cmath>
#include <random>

#include "path/direct_field.h"
#include "scatter/numerics.h"
#include "scatter/plate_helpers.h"

namespace ils {
namespace {

using test::addSource;
using test::kEpsZero;
using test::kMuZero;
using test::setStation;

TEST(NumericsDistance, NearestElementAndItsBounds) {
    test::TestRun t;
    RunData& rd = *t.rd;
    setStation(rd, 110.0);
    Scatterer s = test::makePlate(0, 0, 100, 0, 0, 10);
    EXPECT_EQ(nearestElementDistance(rd, s), 1e20);  // no elements at all

    addSource(rd, 0, 50, -30, 0);   // 30 from the midpoint
    addSource(rd, 0, -40, 0, 30);   // 50 from end 1
    EXPECT_DOUBLE_EQ(nearestElementDistance(rd, s), 30.0);

    // The clearance array counts only for a two-frequency system.
    addSource(rd, 1, 100, 0, 3);
    EXPECT_DOUBLE_EQ(nearestElementDistance(rd, s), 30.0);
    rd.system.captureEffect = 1;
    EXPECT_DOUBLE_EQ(nearestElementDistance(rd, s), 3.0);

    // An end on an element: 1e-10, not 0.
    rd.arrays[1].elementZ[0] = 0.0;
    EXPECT_EQ(nearestElementDistance(rd, s), 1e-10);
}

// The least of the roots, as the distance's definition reads, bit for bit
// against the root of the least square that the function takes.
TEST(NumericsDistance, TheLeastRootOfEveryElementAndPlatePoint) {
    test::TestRun t;
    RunData& rd = *t.rd;
    setStation(rd, 110.0);
    rd.system.captureEffect = 1;
    std::mt19937_64 rng(3);
    std::uniform_real_distribution<double> u(-3000.0, 3000.0);
    for (int i = 0; i < 14; ++i) addSource(rd, i % 2, u(rng), u(rng), u(rng) / 100.0);
    for (int trial = 0; trial < 2000; ++trial) {
        const Scatterer s = test::makePlate(u(rng), u(rng), u(rng), u(rng), 0, 20);
        const double px[3] = {s.x1, s.x2, (s.x1 + s.x2) / 2.0};
        const double py[3] = {s.y1, s.y2, (s.y1 + s.y2) / 2.0};
        const double pz[3] = {s.z1, s.z2, (s.z1 + s.z2) / 2.0};
        double best = 1e20;
        for (int j = 0; j < 2; ++j) {
            const AntennaArray& a = rd.arrays[j];
            for (int e = 0; e < a.elementCount; ++e) {
                for (int m = 0; m < 3; ++m) {
                    const double dx = a.elementX[e] - px[m], dy = a.elementY[e] - py[m], dz = a.elementZ[e] - pz[m];
                    best = std::fmin(best, std::sqrt(dx * dx + dy * dy + dz * dz));
                }
            }
        }
        EXPECT_EQ(nearestElementDistance(rd, s), std::fmax(best, 1e-10)) << trial;
    }
}

TEST(NumericsElementField, FieldImageAndPatternCentredOnTheElement) {
    test::TestRun t;
    RunData& rd = *t.rd;
    setStation(rd, 110.0);
    rd.arrays[0].pattern.patternType = 'D';  // |cos phi| about the element
    addSource(rd, 0, 0, 0, 10, {2.0, 0.0}, {0.0, 1.0});
    addSource(rd, 0, 100, 0, 10, {1.0, 0.0}, {1.0, 0.0});
    const double k = rd.arrays[0].waveNumber;

    Complex csb[2], sbo[2];
    // Element 1 at (100, 0, 10); P straight along its pattern axis, 60 away.
    elementIncidentField(rd, 0, 1, 'F', 160, 0, 10, csb, sbo);
    EXPECT_CLOSE(std::abs(csb[0] - std::exp(Complex(0, k * 60)) / 60.0), 0.0, 0, 1e-15);
    EXPECT_EQ(csb[1], Complex(0, 0));
    EXPECT_EQ(sbo[1], Complex(0, 0));

    // With the image: pass 1 is -1 times the field from (100, 0, -10), and its
    // pattern elevation is seen from the image. Along y the D pattern is 0.
    elementIncidentField(rd, 0, 1, 'G', 130, 40, 30, csb, sbo);
    const double r0 = std::sqrt(30.0 * 30 + 40 * 40 + 20 * 20);
    const double r1 = std::sqrt(30.0 * 30 + 40 * 40 + 40 * 40);
    const double g = 30.0 / 50.0;  // |cos phi|, phi = atan2(40, 30)
    EXPECT_CLOSE(std::abs(csb[0] - g * std::exp(Complex(0, k * r0)) / r0), 0.0, 0, 1e-15);
    EXPECT_CLOSE(std::abs(csb[1] + g * std::exp(Complex(0, k * r1)) / r1), 0.0, 0, 1e-15);
    EXPECT_EQ(sbo[0], csb[0]);

    // Straight above the element: factor 1 whatever the pattern.
    elementIncidentField(rd, 0, 0, 'F', 0, 0, 50, csb, sbo);
    EXPECT_CLOSE(std::abs(csb[0] - 2.0 * std::exp(Complex(0, k * 40)) / 40.0), 0.0, 0, 1e-15);
    EXPECT_CLOSE(std::abs(sbo[0] - Complex(0, 1) * std::exp(Complex(0, k * 40)) / 40.0), 0.0, 0,
                 1e-15);

    // On the element itself 1/R is undefined: nothing, never inf or NaN.
    elementIncidentField(rd, 0, 0, 'G', 0, 0, 10, csb, sbo);
    EXPECT_EQ(csb[0], Complex(0, 0));
    EXPECT_TRUE(std::isfinite(csb[1].real()) && std::abs(csb[1]) > 0);
}

ScatterGeometry incidence(double cosInc, double omega) {
    ScatterGeometry g;
    g.cosInc = cosInc;
    g.sin2Inc = 1.0 - cosInc * cosInc;
    g.omega = omega;
    return g;
}

TEST(NumericsFresnel, LosslessDielectricMatchesTextbookCoefficients) {
    const double omega = kTwoPi * 110e6;
    Complex perp, par;
    // Relative permittivity 4: n = 2, normal incidence gives -1/3 and +1/3.
    materialReflectionCoefficients(incidence(1.0, omega), kMuZero, 4 * kEpsZero, 0.0, perp, par);
    EXPECT_CLOSE(perp.real(), -1.0 / 3.0, 1e-9, 0);
    EXPECT_CLOSE(par.real(), 1.0 / 3.0, 1e-9, 0);
    EXPECT_CLOSE(perp.imag(), 0.0, 0, 1e-12);

    // 45 degrees: cos(theta_t) = sqrt(1 - sin^2(45)/4).
    const double ci = std::cos(kPi / 4), ct = std::sqrt(1.0 - 0.5 / 4.0);
    materialReflectionCoefficients(incidence(ci, omega), kMuZero, 4 * kEpsZero, 0.0, perp, par);
    EXPECT_CLOSE(perp.real(), (ci - 2 * ct) / (ci + 2 * ct), 1e-9, 0);
    EXPECT_CLOSE(par.real(), (2 * ci - ct) / (2 * ci + ct), 1e-9, 0);
}

TEST(NumericsFresnel, MaterialZeroAtNormalAndAnyMaterialAtGrazing) {
    const double omega = kTwoPi * 110e6;
    Complex perp, par;
    // Material code 0: relative permeability 2000, 2e6 S/m.
    const double mu0 = static_cast<double>(2000.0f) * kMuZero;
    const double sigma0 = static_cast<double>(2.0e6f);
    materialReflectionCoefficients(incidence(1.0, omega), mu0, kEpsZero, sigma0, perp, par);
    EXPECT_LT(std::abs(perp + 1.0), 1e-2);
    EXPECT_GT(std::abs(perp + 1.0), 1e-4);  // just off -1, not -1
    EXPECT_LT(std::abs(par - 1.0), 1e-2);
    EXPECT_GT(std::abs(par - 1.0), 1e-4);

    // Grazing: both tend to -1, for a conductor and for a dielectric.
    const double grazing = 1e-7;
    materialReflectionCoefficients(incidence(grazing, omega), mu0, kEpsZero, sigma0, perp, par);
    EXPECT_LT(std::abs(perp + 1.0), 1e-6);
    EXPECT_LT(std::abs(par + 1.0), 1e-3);
    materialReflectionCoefficients(incidence(grazing, omega), kMuZero, 10 * kEpsZero, 1e-4, perp,
                                   par);
    EXPECT_LT(std::abs(perp + 1.0), 1e-5);
    EXPECT_LT(std::abs(par + 1.0), 1e-5);
}

// A vertical plate along x (azimuth 0, tilt 0) lit in the horizontal plane
// from angle theta off the normal; observer in direction (obsEdge, obsFront).
ScatterGeometry horizontalGeometry(double theta, double obsAlongEdge, double obsAcrossFront) {
    ScatterGeometry g;
    g.cosTilt = 1.0;
    g.sinTilt = 0.0;
    g.incAlongNormal = std::cos(theta);
    g.incAlongEdge = std::sin(theta);
    g.sinIncElev = 0.0;
    g.cosIncElev = 1.0;
    g.cosInc = g.cosIncElev * g.cosTilt * g.incAlongNormal - g.sinIncElev * g.sinTilt;
    g.sin2Inc = 1.0 - g.cosInc * g.cosInc;
    g.obsAlongEdge = obsAlongEdge;
    g.obsAcrossFront = obsAcrossFront;
    g.sinObsElev = 0.0;
    g.cosObsElev = 1.0;
    g.crossA = g.obsAlongEdge * g.incAlongNormal + g.obsAcrossFront * g.incAlongEdge;
    g.crossB = g.obsAcrossFront * g.incAlongNormal - g.obsAlongEdge * g.incAlongEdge;
    return g;
}

TEST(NumericsPolarization, PerfectConductorSpecularAndTheNormalSign) {
    const Complex perp(-1.0, 0.0), par(1.0, 0.0);
    for (double theta : {0.3, 0.7, 1.2}) {
        // Specular: the observer direction mirrors the incidence about the normal.
        ScatterGeometry g = horizontalGeometry(theta, std::sin(theta), std::cos(theta));
        const Complex p = polarizationFactor(g, perp, par);
        EXPECT_CLOSE(p.real(), -2.0 * std::cos(theta), 1e-12, 0) << theta;
        EXPECT_EQ(p.imag(), 0.0);
    }
    // incAlongNormal exactly 0 is computed; slightly negative gives zero.
    ScatterGeometry edgeOn = horizontalGeometry(0.3, 0.5, 0.5);
    edgeOn.incAlongNormal = 0.0;
    edgeOn.cosInc = 0.0;
    edgeOn.sin2Inc = 1.0;
    EXPECT_NE(polarizationFactor(edgeOn, Complex(-0.9, 0.1), par), Complex(0, 0));
    edgeOn.incAlongNormal = -1e-12;
    EXPECT_EQ(polarizationFactor(edgeOn, Complex(-0.9, 0.1), par), Complex(0, 0));
}

// A plate tilted by tiltDeg lit from elevation -tilt + offset straight
// across its edge (offset 0: along the normal), observed off in elevation.
ScatterGeometry tiltedGeometry(double tiltDeg, double offset) {
    ScatterGeometry g;
    const double tilt = tiltDeg * kDegToRad;
    g.cosTilt = std::cos(tilt);
    g.sinTilt = std::sin(tilt);
    g.incAlongNormal = 1.0;
    g.incAlongEdge = 0.0;
    g.cosIncElev = std::cos(-tilt + offset);
    g.sinIncElev = std::sin(-tilt + offset);
    g.cosInc = g.cosIncElev * g.cosTilt * g.incAlongNormal - g.sinIncElev * g.sinTilt;
    g.sin2Inc = 1.0 - g.cosInc * g.cosInc;
    g.obsAlongEdge = 0.1;
    g.obsAcrossFront = -std::sqrt(1 - 0.01);
    g.cosObsElev = std::cos(0.4);
    g.sinObsElev = std::sin(0.4);
    g.crossA = g.obsAlongEdge * g.incAlongNormal + g.obsAcrossFront * g.incAlongEdge;
    g.crossB = g.obsAcrossFront * g.incAlongNormal - g.obsAlongEdge * g.incAlongEdge;
    return g;
}

TEST(NumericsPolarization, StableThroughNormalIncidence) {
    // Coefficients of concrete at normal incidence, where the two
    // polarisations coincide (parallel = -perpendicular).
    Complex perp, par;
    ScatterGeometry normal;
    normal.cosInc = 1.0;
    normal.omega = kTwoPi * 110e6;
    materialReflectionCoefficients(normal, kMuZero, 10 * kEpsZero, 1e-4, perp, par);
    ASSERT_LT(std::abs(perp + par), 1e-12);
    ASSERT_GT(std::abs(perp + 1.0), 0.1);

    // The factor is smooth through the normal: near it, it must follow the
    // straight line through its values 3e-3 rad either side, where
    // 1 - cosInc^2 is still accurate (curvature leaves about 1e-5).
    const double h = 3e-3;
    auto checkLine = [&](auto geometry, const char* what) {
        const Complex up = polarizationFactor(geometry(h), perp, par);
        const Complex down = polarizationFactor(geometry(-h), perp, par);
        ASSERT_TRUE(std::isfinite(up.real()) && std::isfinite(down.real()));
        for (double theta : {0.0, 1e-15, -1e-12, 1e-9, 1e-7, 1e-5, -1e-5, 1e-4, -2e-4, 1e-3}) {
            const Complex line = 0.5 * (up + down) + (up - down) * (theta / (2 * h));
            const Complex p = polarizationFactor(geometry(theta), perp, par);
            ASSERT_TRUE(std::isfinite(p.real()) && std::isfinite(p.imag())) << what << theta;
            EXPECT_LT(std::abs(p - line), 1e-4 * std::abs(line)) << what << " " << theta;
        }
    };
    for (double obsAngle : {0.0, 0.2, -0.5}) {
        const double eo = std::sin(obsAngle), no = std::cos(obsAngle);
        checkLine([&](double t) { return horizontalGeometry(t, eo, no); }, "vertical plate");
    }
    EXPECT_LT(tiltedGeometry(30, 0).sin2Inc, kNearNormalSin2);
    checkLine([](double t) { return tiltedGeometry(30, t); }, "tilted plate");
}

TEST(NumericsDoppler, FactorsAtRestAndInMotion) {
    const double s[3] = {0, 0, 10}, q[3] = {300, 400, 10}, o[3] = {5000, -200, 500};
    const double rest[3] = {0, 0, 0};
    const double k = kTwoPi / 8.94;
    DopplerFactors f = dopplerFilterFactors(s, q, o, rest, k);
    EXPECT_EQ(f.f0, 1.0);
    EXPECT_LT(std::fabs(f.f60), 1e-13);
    EXPECT_LT(std::fabs(f.f90), 1e-13);
    EXPECT_LT(std::fabs(f.f150), 1e-13);

    // Moving: u = (rate via Q - direct rate) * T / 2.
    const double v[3] = {-200, 30, -10};
    auto rate = [&](const double* from) {
        const double d[3] = {o[0] - from[0], o[1] - from[1], o[2] - from[2]};
        return k * (d[0] * v[0] + d[1] * v[1] + d[2] * v[2]) /
               std::sqrt(d[0] * d[0] + d[1] * d[1] + d[2] * d[2]);
    };
    const double u = (rate(q) - rate(s)) * (1.0 / 15.0) * 0.5;
    ASSERT_GT(std::fabs(u), 0.01);
    f = dopplerFilterFactors(s, q, o, v, k);
    EXPECT_CLOSE(f.f0, std::sin(u) / u, 1e-12, 1e-15);
    EXPECT_CLOSE(f.f60, std::sin(u + 4 * kPi) / (u + 4 * kPi), 1e-9, 1e-15);
    EXPECT_CLOSE(f.f90, std::sin(u + 6 * kPi) / (u + 6 * kPi), 1e-9, 1e-15);
    EXPECT_CLOSE(f.f150, std::sin(u + 10 * kPi) / (u + 10 * kPi), 1e-9, 1e-15);

    // An observer on the scatterer or on the source: the zero-length path
    // has no rate; the factors stay finite.
    f = dopplerFilterFactors(s, q, q, v, k);
    EXPECT_TRUE(std::isfinite(f.f0) && std::isfinite(f.f60) && std::isfinite(f.f90) &&
                std::isfinite(f.f150));
    f = dopplerFilterFactors(s, q, s, v, k);
    EXPECT_TRUE(std::isfinite(f.f0));
}

}  // namespace
}  // namespace ils
