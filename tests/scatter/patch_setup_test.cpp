// The plates' pair set-up on vectors of sources (setupPatchSources) against
// the scalar set-up of one pair (setupPatchSource): the same pairs facing,
// every value within 1e-12 of its scale, and the same values wherever a
// source sits among the lanes. Random stations and plates (fixed seed), with
// degenerate ones: an element on the patch centre, a centre straight above
// an element, sources behind the plate, a dielectric and a lossy material.
#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <random>
#include <vector>

#include "plate_helpers.h"
#include "scatter/plate_patch.h"

namespace ils {
namespace {

using test::addSource;
using test::makePlate;
using test::setStation;

constexpr double kTolerance = 1e-12;

void expectClose(double got, double want, double scale, const char* what, int s) {
    EXPECT_LE(std::fabs(got - want), kTolerance * scale) << what << " source " << s << ": " << got
                                                         << " vs " << want;
}
void expectClose(Complex got, Complex want, double scale, const char* what, int s) {
    EXPECT_LE(std::abs(got - want), kTolerance * scale) << what << " source " << s << ": " << got
                                                        << " vs " << want;
}

// Compares every source of array j at the patch centre q.
void comparePairs(const RunData& rd, const Scatterer& plate, const PlateFrame& f, int j,
                  const double q[3], int* facingCount = nullptr) {
    std::vector<PatchSource> got(kMaxArrayElements);
    bool facing[kMaxArrayElements] = {};
    setupPatchSources(rd, plate, f, j, q, got.data(), facing);
    for (int s = 0; s < f.sourceCount[j]; ++s) {
        PatchSource want;
        const bool wantFacing = setupPatchSource(rd, plate, f, j, s, q, want);
        ASSERT_EQ(facing[s], wantFacing) << "source " << s;
        if (!wantFacing) continue;
        if (facingCount != nullptr) ++*facingCount;
        const PatchSource& g = got[static_cast<size_t>(s)];
        EXPECT_EQ(g.j, j);
        for (int i = 0; i < 3; ++i) {
            EXPECT_EQ(g.centre[i], q[i]);
            EXPECT_EQ(g.source[i], want.source[i]);
        }
        const ScatterGeometry &a = g.geometry, &b = want.geometry;
        expectClose(a.incAlongNormal, b.incAlongNormal, 1.0, "incAlongNormal", s);
        expectClose(a.incAlongEdge, b.incAlongEdge, 1.0, "incAlongEdge", s);
        expectClose(a.sinIncElev, b.sinIncElev, 1.0, "sinIncElev", s);
        expectClose(a.cosIncElev, b.cosIncElev, 1.0, "cosIncElev", s);
        expectClose(a.cosInc, b.cosInc, 1.0, "cosInc", s);
        expectClose(a.sin2Inc, b.sin2Inc, 1.0, "sin2Inc", s);
        EXPECT_EQ(a.k, b.k);
        EXPECT_EQ(a.omega, b.omega);
        expectClose(g.rhoI, want.rhoI, want.rhoI, "rhoI", s);
        const double field = std::max({std::abs(want.ec), std::abs(want.es), 1e-300});
        expectClose(g.ec, want.ec, field, "ec", s);
        expectClose(g.es, want.es, field, "es", s);
        expectClose(g.ecGround, want.ecGround, field, "ecGround", s);
        expectClose(g.esGround, want.esGround, field, "esGround", s);
        expectClose(g.gammaPerp, want.gammaPerp, 1.0, "gammaPerp", s);
        expectClose(g.gammaPar, want.gammaPar, 1.0, "gammaPar", s);
        expectClose(g.ui, want.ui, 1.0, "ui", s);
        expectClose(g.ei, want.ei, 1.0, "ei", s);
        expectClose(g.groundShift, want.groundShift, std::max(1.0, std::fabs(want.groundShift)),
                    "groundShift", s);
        EXPECT_EQ(g.jAmplitude, want.jAmplitude);
        EXPECT_EQ(g.halfKdl, want.halfKdl);
        EXPECT_EQ(g.halfKdh, want.halfKdh);
        EXPECT_EQ(g.dl, want.dl);
        EXPECT_EQ(g.dh, want.dh);
    }
}

TEST(PatchSetupLanes, RandomStationsAndPlatesAgreeWithThePairSetup) {
    std::mt19937_64 rng(20261208);
    std::uniform_real_distribution<double> u(0.0, 1.0);
    int facingPairs = 0, pairs = 0;
    for (int c = 0; c < 60; ++c) {
        test::TestRun t;
        RunData& rd = *t.rd;
        setStation(rd, 108.0 + 10.0 * u(rng));
        rd.system.captureEffect = c % 3 == 0 ? 1 : 0;
        // Pattern types: the table, the dipole and the glide-slope form.
        const char types[] = {'I', 'D', 'G'};
        for (AntennaArray& a : rd.arrays) {
            a.pattern.patternType = types[c % 3];
            a.pattern.patternAxis = (u(rng) - 0.5) * 0.4;
        }
        const int elements = 1 + c % 13;  // full and partial vectors of every width
        for (int j = 0; j < 2; ++j) {
            for (int e = 0; e < elements; ++e) {
                addSource(rd, j, -20.0 + 40.0 * u(rng), -200.0 + 400.0 * u(rng), 2.0 + 20.0 * u(rng),
                          {u(rng), u(rng) - 0.5}, {u(rng) - 0.5, u(rng)});
            }
        }
        const double y = (c % 2 == 0 ? 1.0 : -1.0) * (300.0 + 3000.0 * u(rng));
        const double x = 500.0 + 5000.0 * u(rng);
        Scatterer plate = makePlate(x, y, x + 50.0 + 400.0 * u(rng), y + (u(rng) - 0.5) * 300.0,
                                    u(rng) * 20.0, 10.0 + 80.0 * u(rng), (u(rng) - 0.5) * 30.0);
        if (c % 4 == 1) {  // a dielectric and a lossy one besides the good conductor
            plate.permittivity = 6.0 * test::kEpsZero;
            plate.conductivity = c % 8 == 1 ? 0.0 : 0.02;
        }
        if (c % 5 == 2) plate.contributionCode = 1;
        PlateFrame f;
        setupPlateFrame(rd, plate, f);
        ASSERT_TRUE(f.nearMode);
        double q[3];
        patchCentre(f, f.nr / 2, f.nc / 2, q);
        for (int j = 0; j < f.arrayCount; ++j) {
            pairs += f.sourceCount[j];
            comparePairs(rd, plate, f, j, q, &facingPairs);
        }
    }
    // Both kinds occur: plates on either side of the array face it or not.
    EXPECT_GT(facingPairs, 0);
    EXPECT_LT(facingPairs, pairs);
}

TEST(PatchSetupLanes, ElementOnTheCentreAndCentreAboveAnElement) {
    test::TestRun t;
    RunData& rd = *t.rd;
    setStation(rd, 110.0);
    const Scatterer plate = makePlate(0.0, 100.0, 200.0, 100.0, 0.0, 40.0);
    PlateFrame f;
    setupPlateFrame(rd, plate, f);
    double q[3];
    patchCentre(f, 0, 0, q);
    // An element on the centre itself (R = 0: adds nothing, and the pair's
    // incidence comes from no direction), one straight below it, and an
    // ordinary one in front of the plate, in one vector.
    addSource(rd, 0, q[0], q[1], q[2]);
    addSource(rd, 0, q[0], q[1], q[2] - 30.0);
    addSource(rd, 0, q[0] + 10.0, q[1] - 80.0, 5.0);
    setupPlateFrame(rd, plate, f);
    comparePairs(rd, plate, f, 0, q);
    std::vector<PatchSource> got(kMaxArrayElements);
    bool facing[kMaxArrayElements] = {};
    setupPatchSources(rd, plate, f, 0, q, got.data(), facing);
    EXPECT_FALSE(facing[0]);
    EXPECT_FALSE(facing[1]);
    EXPECT_TRUE(facing[2]);
}

TEST(PatchSetupLanes, ASourceGetsTheSameValuesInAnyLane) {
    test::TestRun t;
    RunData& rd = *t.rd;
    setStation(rd, 109.5);
    const Scatterer plate = makePlate(1000.0, 600.0, 1300.0, 650.0, 0.0, 50.0, 12.0);
    PlateFrame f;
    double q[3];
    std::vector<PatchSource> alone(kMaxArrayElements), shifted(kMaxArrayElements);
    bool facing[kMaxArrayElements] = {};
    // The last element alone, then after 1..8 others: its lane changes.
    const ObservationPoint e{1.5, -3.25, 6.0, 0, 0, 0};
    addSource(rd, 0, e.x, e.y, e.z, {0.7, 0.2}, {0.1, -0.4});
    setupPlateFrame(rd, plate, f);
    patchCentre(f, 0, f.nc - 1, q);
    setupPatchSources(rd, plate, f, 0, q, alone.data(), facing);
    ASSERT_TRUE(facing[0]);
    for (int before = 1; before <= 8; ++before) {
        test::TestRun u;
        RunData& other = *u.rd;
        setStation(other, 109.5);
        for (int b = 0; b < before; ++b) addSource(other, 0, -10.0 * b, 5.0 * b, 3.0 + b);
        addSource(other, 0, e.x, e.y, e.z, {0.7, 0.2}, {0.1, -0.4});
        PlateFrame g;
        setupPlateFrame(other, plate, g);
        setupPatchSources(other, plate, g, 0, q, shifted.data(), facing);
        const PatchSource& a = alone[0];
        const PatchSource& b = shifted[static_cast<size_t>(before)];
        EXPECT_EQ(a.ec, b.ec) << before;
        EXPECT_EQ(a.es, b.es) << before;
        EXPECT_EQ(a.ecGround, b.ecGround) << before;
        EXPECT_EQ(a.gammaPerp, b.gammaPerp) << before;
        EXPECT_EQ(a.gammaPar, b.gammaPar) << before;
        EXPECT_EQ(a.geometry.cosInc, b.geometry.cosInc) << before;
        EXPECT_EQ(a.groundShift, b.groundShift) << before;
    }
}

}  // namespace
}  // namespace ils
