// Wire scattering: subdivision, end terms, the reradiated field's physics
// and the table protocol, on scenes built directly in a RunData.
#include <cmath>
#include <string>
#include <vector>

#include "path/run_tables.h"
#include "scatter/wire.h"
#include "scatter/wire_scene.h"
#include "support/test_support.h"

namespace ils {
namespace {

using test::TestRun;

// A power line across the approach: 400 ft along y at x = 1000, 30 ft up.
Scatterer crossingWire(double length = 400.0) {
    return test::makeWire(1000.0, -length / 2, 30.0, 1000.0, length / 2, 30.0, 0.02);
}

std::vector<FieldRecord> wireRecords(TestRun& t, const Scatterer& w, int expected = 0) {
    EXPECT_EQ(computeWire(*t.rd, w, 1), expected) << t.logText();
    return test::fieldRecords(*t.rd);
}

TEST(WirePlan, LengthClassAndSegmentCount) {
    TestRun t;
    RunData& rd = *t.rd;
    // One element 100 ft from the wire's first end; wavelength 4 ft: the
    // target segment length is sqrt(100 * 4) / 5 = 4 ft.
    test::setupStation(rd, 4.0);
    test::addStationElement(rd, 0, 0.0, 0.0, 0.0, Complex(1, 0), Complex(0, 0));
    auto plan = [&](double length) {
        return planWire(rd, test::makeWire(100.0, 0.0, 0.0, 100.0 + length, 0.0, 0.0, 0.01));
    };
    const WirePlan at200 = plan(200.0);
    EXPECT_TRUE(at200.longWire);
    EXPECT_DOUBLE_EQ(at200.targetLength, 4.0);
    EXPECT_EQ(at200.segmentCount, 51.0);
    EXPECT_DOUBLE_EQ(at200.segmentLength, 200.0 / 51.0);
    const WirePlan below = plan(199.9);
    EXPECT_FALSE(below.longWire);
    EXPECT_EQ(below.segmentCount, 50.0);
    // Shorter than one target length: a single segment.
    EXPECT_EQ(plan(3.9).segmentCount, 1.0);
    EXPECT_NEAR(plan(3.9).segmentLength, 3.9, 1e-12);
    EXPECT_EQ(plan(4.0).segmentCount, 2.0);
}

TEST(WirePlan, SegmentsNoFinerThanATwentiethOfAWavelength) {
    TestRun t;
    RunData& rd = *t.rd;
    test::setupStation(rd, 4.0);
    test::addStationElement(rd, 0, 0.0, 0.0, 0.0, Complex(1, 0), Complex(0, 0));
    // An end on the element (dmin 1e-10) would ask for some 5e7 segments.
    const WirePlan onElement = planWire(rd, test::makeWire(0.0, 0.0, 0.0, 1000.0, 0.0, 0.0, 0.01));
    EXPECT_DOUBLE_EQ(onElement.targetLength, 0.2);
    EXPECT_EQ(onElement.segmentCount, 5001.0);
    // From a sixteenth of a wavelength on, the rule sqrt(dmin * wavelength) / 5 holds.
    const WirePlan justOff = planWire(rd, test::makeWire(0.25, 0.0, 0.0, 1000.25, 0.0, 0.0, 0.01));
    EXPECT_DOUBLE_EQ(justOff.targetLength, 0.2);
    const WirePlan further = planWire(rd, test::makeWire(1.0, 0.0, 0.0, 1001.0, 0.0, 0.0, 0.01));
    EXPECT_DOUBLE_EQ(further.targetLength, 0.4);
}

TEST(WireEndWaves, FreeWavesFromBothEnds) {
    const double k = 0.7, delta = 3.0, L = 45.0;
    // Finite along the wire's axis, where each wave radiates in phase over
    // the whole segment (sinc 1) or not at all in its own direction's reverse.
    for (const double mu : {1.0, -1.0, 0.0, 0.37}) {
        const EndWaves w = wireEndWaves(k, delta, 10.5, L - 10.5, mu);
        const double h = k * delta / 2;
        EXPECT_NEAR(std::abs(w.end[0]), delta * std::fabs(sinc(h * (1 - mu))), 1e-12) << mu;
        EXPECT_NEAR(std::abs(w.end[1]), delta * std::fabs(sinc(h * (1 + mu))), 1e-12) << mu;
        // Each wave has travelled from its own end to the segment.
        EXPECT_NEAR(std::arg(-w.end[0] * std::exp(Complex(0, -k * 10.5))), 0.0, 1e-12);
    }
    // A wave launched by end 1 travels towards end 2: along mu = +1 the
    // segment radiates it fully.
    EXPECT_NEAR(std::abs(wireEndWaves(k, delta, 1.5, L - 1.5, 1.0).end[0]), delta, 1e-12);
    // Mirror symmetry: swapping the ends and reversing mu swaps the waves.
    const EndWaves a = wireEndWaves(k, delta, 7.5, L - 7.5, 0.3);
    const EndWaves b = wireEndWaves(k, delta, L - 7.5, 7.5, -0.3);
    EXPECT_NEAR(std::abs(a.end[0] - b.end[1]), 0.0, 1e-12);
    EXPECT_NEAR(std::abs(a.end[1] - b.end[0]), 0.0, 1e-12);
    // At the middle of the wire both waves arrive with the same phase k L / 2.
    const EndWaves c = wireEndWaves(k, delta, L / 2, L / 2, 0.0);
    EXPECT_NEAR(std::abs(c.end[0] - c.end[1]), 0.0, 1e-12);
    EXPECT_NEAR(std::abs(std::arg(-c.end[0]) - std::remainder(k * L / 2, kTwoPi)), 0.0, 1e-9);
}

TEST(WireCurrentFactor, InfiniteWireCurrentForEveryIncidence) {
    // j / (pi sin^2 b H0(1)(k a sin b)) against the library Bessel functions:
    // the current of an infinite thin wire, 1 / sin^2 b stronger at oblique
    // incidence than the broadside factor with the same argument.
    const double k = kTwoPi / 8.94;
    for (const double a : {0.005, 0.05, 0.5}) {
        for (const double s2 : {1.0, 0.6, 0.2, 0.039}) {
            const double x = k * a * std::sqrt(s2);
            const Complex h(std::cyl_bessel_j(0.0, x), std::cyl_neumann(0.0, x));
            const Complex want = Complex(0, 1) / (kPi * s2 * h);
            const Complex got = wireCurrentFactor(k, a, s2);
            EXPECT_LT(std::abs(got - want), 1e-6 * std::abs(want)) << a << " " << s2;
        }
    }
    // H0(1) of a thin wire is dominated by j Y0 < 0: the current is close to
    // real and negative, so the reradiated field opposes the incident one.
    const Complex thin = wireCurrentFactor(k, 0.05, 1.0);
    EXPECT_LT(thin.real(), 0.0);
    EXPECT_GT(std::fabs(std::arg(thin)), 2.0);
    EXPECT_EQ(wireCurrentFactor(k, 0.0, 0.5), Complex(0.0, 0.0));
}

TEST(WireScattering, ReradiatesFiniteFieldThatFollowsTheFlight) {
    TestRun t;
    test::setupCourseArray(*t.rd);
    test::setFlight(*t.rd, test::approachPoints());
    const std::vector<FieldRecord> r = wireRecords(t, crossingWire());
    ASSERT_TRUE(test::allFinite(r));
    EXPECT_GT(test::largestValue(r), 1e-6);
    EXPECT_EQ(t.logText(), "");
    // Every point is reached; the field varies along the path.
    for (const FieldRecord& rec : r) EXPECT_GT(std::abs(rec.slot[0]), 0.0);
    EXPECT_NE(r.front().slot[0], r.back().slot[0]);
    // Slots 12..14 are the FieldFile writer's: the table keeps them zero.
    for (const FieldRecord& rec : r) {
        for (int s = 12; s < 15; ++s) EXPECT_EQ(rec.slot[s], Complex(0, 0));
    }
}

TEST(WireScattering, SignVerticalWireAndGrazingObserver) {
    TestRun plus, minus;
    for (TestRun* t : {&plus, &minus}) {
        test::setupCourseArray(*t->rd);
        test::setFlight(*t->rd, test::approachPoints());
    }
    Scatterer w = crossingWire(150.0);  // short: end terms included
    const std::vector<FieldRecord> a = wireRecords(plus, w);
    w.contributionCode = 1;
    const std::vector<FieldRecord> b = wireRecords(minus, w);
    for (size_t i = 0; i < a.size(); ++i) {
        for (int s = 0; s < 12; ++s) EXPECT_EQ(b[i].slot[s], -a[i].slot[s]) << i << " " << s;
    }

    // A vertical wire carries no current in the horizontally polarised model.
    TestRun vertical;
    test::setupCourseArray(*vertical.rd);
    test::setFlight(*vertical.rd, test::approachPoints());
    const auto v = wireRecords(vertical, test::makeWire(800.0, 50.0, 0.0, 800.0, 50.0, 120.0, 0.1));
    EXPECT_EQ(test::largestValue(v), 0.0);

    // A perfect ground cancels the horizontal field on the ground itself;
    // at the wire's own height the wire's field and its image's do not cancel.
    TestRun grazing;
    test::setupCourseArray(*grazing.rd);
    test::setFlight(*grazing.rd, {{2500.0, 40.0, 0.0, -200.0, 0.0, 0.0},
                                  {2500.0, 40.0, 30.0, -200.0, 0.0, 0.0}});
    const auto g = wireRecords(grazing, crossingWire());
    EXPECT_EQ(std::abs(g[0].slot[0]), 0.0);
    EXPECT_GT(std::abs(g[1].slot[0]), 0.0);
}

TEST(WireScattering, PointsOnTheWireStayFinite) {
    TestRun t;
    test::setupCourseArray(*t.rd);
    // One-segment wire from (990, -1, 30) to (990, 1, 30): midpoint (990, 0, 30).
    const Scatterer w = test::makeWire(990.0, -1.0, 30.0, 990.0, 1.0, 30.0, 0.02);
    test::setFlight(*t.rd, {
                               {990.0, 0.0, 30.0, -200.0, 0.0, 0.0},   // on the midpoint
                               {990.0, 0.0, 90.0, -200.0, 0.0, 0.0},   // straight above it
                               {990.0, 500.0, 30.0, -200.0, 0.0, 0.0}, // on the wire's axis
                               {990.0, -1.0, 30.0, 0.0, 0.0, 0.0},     // on an end
                               {0.0, 0.0, 8.0, 10.0, 0.0, 0.0},        // on the array centroid
                               {1500.0, 30.0, 80.0, -200.0, 0.0, 0.0}, // an ordinary point
                           });
    const auto r = wireRecords(t, w);
    ASSERT_TRUE(test::allFinite(r));
    EXPECT_EQ(test::largestValue({r[0]}), 0.0);
    EXPECT_EQ(test::largestValue({r[1]}), 0.0);
    // A wire does not radiate along its own axis (cos 90 degrees leaves a
    // rounding residue in the direction factor).
    EXPECT_LT(test::largestValue({r[2]}), 1e-12 * test::largestValue({r[5]}));
    EXPECT_GT(test::largestValue({r[5]}), 0.0);
}

TEST(WireScattering, EndTermsBelowTwoHundredFeetOnly) {
    // Target segment length sqrt(1000 * 8.94) / 5 = 18.9 ft: 200 ft +- 1e-4
    // stays at 11 segments, so only the end terms can change the result.
    std::vector<std::vector<FieldRecord>> r;
    for (const double length : {199.9999, 200.0, 200.0001}) {
        TestRun t;
        test::setupCourseArray(*t.rd);
        test::setFlight(*t.rd, test::approachPoints());
        r.push_back(wireRecords(t, crossingWire(length)));
    }
    const double longPair = test::largestDifference(r[1], r[2]);
    const double acrossLimit = test::largestDifference(r[0], r[1]);
    EXPECT_GT(longPair, 0.0);
    EXPECT_GT(acrossLimit, 1000.0 * longPair);
}

TEST(WireScattering, SegmentSumIndependentOfSubdivision) {
    // The sinc weights integrate each segment's linear phase exactly, so a
    // far-zone result barely depends on the segment count. A silent element
    // (zero currents) 40 ft from the wire makes the segments five times finer.
    std::vector<std::vector<FieldRecord>> r;
    for (const bool finer : {false, true}) {
        TestRun t;
        test::setupCourseArray(*t.rd);
        if (finer) {
            AntennaArray& a = t.rd->arrays[0];
            const double cx = a.centroidX, cy = a.centroidY, cz = a.centroidZ;
            test::addStationElement(*t.rd, 0, 1000.0, 240.0, 30.0, Complex(0, 0), Complex(0, 0));
            a.centroidX = cx;
            a.centroidY = cy;
            a.centroidZ = cz;
        }
        std::vector<ObservationPoint> pts;
        for (int i = 0; i < 6; ++i) pts.push_back({-3000.0 - 400.0 * i, 0.0, 150.0, 0, 0, 0});
        test::setFlight(*t.rd, pts);
        EXPECT_NEAR(planWire(*t.rd, crossingWire()).segmentCount, finer ? 106.0 : 22.0, 0.5);
        r.push_back(wireRecords(t, crossingWire()));
    }
    for (size_t i = 0; i < r[0].size(); ++i) {
        const Complex coarse = r[0][i].slot[0], fine = r[1][i].slot[0];
        ASSERT_GT(std::abs(fine), 0.0);
        // Residual quadratic phase over a 19 ft segment at 1000 ft: ~3e-2 rad.
        EXPECT_LT(std::abs(coarse - fine), 0.03 * std::abs(fine)) << i;
    }
}

TEST(WireScattering, ClearanceArrayScaledByCaptureWeight) {
    TestRun t;
    test::setupCourseArray(*t.rd, 1);  // identical course and clearance arrays
    t.rd->system.captureWeight = 0.25;
    test::setFlight(*t.rd, test::approachPoints());
    const auto r = wireRecords(t, crossingWire(120.0));
    for (const FieldRecord& rec : r) {
        ASSERT_GT(std::abs(rec.slot[0]), 0.0);
        EXPECT_CLOSE(rec.slot[1].real(), 0.25 * rec.slot[0].real(), 1e-12, 1e-18);
        EXPECT_CLOSE(rec.slot[1].imag(), 0.25 * rec.slot[0].imag(), 1e-12, 1e-18);
    }
}

TEST(WireScattering, FileStorageGivesTheSameRecords) {
    TestRun memory, files;
    std::vector<std::vector<FieldRecord>> r;
    for (TestRun* t : {&memory, &files}) {
        testControl().forceFileStorage = t == &files;
        test::setupCourseArray(*t->rd, 1);
        t->rd->system.captureWeight = 0.5;
        test::setFlight(*t->rd, test::approachPoints(7));
        // Two wires, as two SW commands would add them.
        r.push_back(wireRecords(*t, crossingWire(150.0)));
        r.push_back(wireRecords(*t, test::makeWire(1500, -300, 40, 1400, 300, 25, 0.05)));
    }
    EXPECT_FALSE(memory.rd->fieldTable.inMemory == files.rd->fieldTable.inMemory);
    for (size_t i = 0; i < r[1].size(); ++i) {
        for (int s = 0; s < 15; ++s) EXPECT_EQ(r[1][i].slot[s], r[3][i].slot[s]) << i << " " << s;
    }
    EXPECT_EQ(test::readFile(files.scratch + "fields.tmp").size(), 7u * 240u);
    EXPECT_FALSE(test::fileExists(files.scratch + "fields1.tmp"));
}

TEST(WireScattering, ErrorsEndTheComputation) {
    struct Case {
        Scatterer wire;
        int result;
        std::string log;
    };
    const Case cases[] = {
        {test::makeWire(900, 10, 30, 900, 10, 30, 0.02), 1, "ERROR! Resonant wire length.\n"},
        // A zero-length wire meets the resonance test before its radius.
        {test::makeWire(900, 10, 30, 900, 10, 30, -1.0), 1, "ERROR! Resonant wire length.\n"},
        {test::makeWire(900, -50, 30, 900, 50, 30, -0.1), -1,
         "ERROR! Wire radius must not be negative.\n"},
        {test::makeWire(900, -50, 30, 900, 50, 30, std::nan("")), -1,
         "ERROR! Wire radius must not be negative.\n"},
        {test::makeWire(900, -50, 30, 900, 50, 30, HUGE_VAL), -1,
         "ERROR! Wire dimensions out of range.\n"},
        {test::makeWire(900, -1e308, 30, 900, 1e308, 30, 0.1), -1,
         "ERROR! Wire dimensions out of range.\n"},
        // Touching an element, a wire of 1e9 ft would need 1e15 segments.
        {test::makeWire(0, -5, 8, 0, 1e9, 8, 0.1), -1,
         "ERROR! Wire needs more than 2147483646 segments.\n"},
    };
    for (const Case& c : cases) {
        TestRun t;
        test::setupCourseArray(*t.rd);
        test::setFlight(*t.rd, test::approachPoints(3));
        const auto r = wireRecords(t, c.wire, c.result);
        EXPECT_EQ(t.logText(), c.log);
        EXPECT_EQ(test::largestValue(r), 0.0);
    }
}

TEST(WireScattering, ResonantClearanceKeepsCourseContributions) {
    TestRun t;
    test::setupCourseArray(*t.rd, 1);
    t.rd->arrays[1].waveNumber = 0.0;  // sin(k L) exactly 0 for the clearance array only
    test::setFlight(*t.rd, test::approachPoints(3));
    const auto r = wireRecords(t, crossingWire(150.0), 1);
    EXPECT_EQ(t.logText(), "ERROR! Resonant wire length.\n");
    EXPECT_GT(std::abs(r[0].slot[0]), 0.0);
    EXPECT_EQ(std::abs(r[0].slot[1]), 0.0);
}

TEST(WireScattering, ProgressCoversOneStep) {
    TestRun t;
    test::setupCourseArray(*t.rd);
    t.rd->scatterCommandCount = 4;
    t.rd->progressAccumulator = 12.5;
    test::setFlight(*t.rd, test::approachPoints(50));
    // 22 segments * 50 points = 1100 iterations, stride trunc(11 * 4 + 0.5) = 44:
    // 25 percents above the accumulator.
    ASSERT_EQ(planWire(*t.rd, crossingWire()).segmentCount, 22.0);
    wireRecords(t, crossingWire());
    EXPECT_EQ(t.rd->progressPercent.load(), 37);
}

}  // namespace
}  // namespace ils
