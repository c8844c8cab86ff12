// Limits of thin-wire physics that the wire computation must meet whatever
// its implementation: no field on a perfect ground, a ray along a level wire
// stays finite, a wire of radius 0 adds nothing, the field does not depend on
// the frame (the whole scene turned together).
#include <cmath>
#include <vector>

#include "path/run_tables.h"
#include "scatter/wire.h"
#include "scatter/wire_scene.h"
#include "support/test_support.h"

namespace ils {
namespace {

using test::TestRun;

std::vector<FieldRecord> wireField(TestRun& t, const Scatterer& w) {
    EXPECT_EQ(computeWire(*t.rd, w, 1), 0) << t.logText();
    return test::fieldRecords(*t.rd);
}

// Localizer-like station: two elements across the x axis at the origin, 8 ft
// up, pattern D about the axis angle given.
void setupPatternStation(RunData& rd, double axis, int32_t capture = 0) {
    test::setupStation(rd, 8.94, capture);
    for (int j = 0; j <= capture; ++j) {
        rd.arrays[j].pattern.patternType = 'D';
        rd.arrays[j].pattern.patternAxis = axis;
        const double c = std::cos(axis), s = std::sin(axis);
        for (const double across : {-5.0, 5.0}) {
            test::addStationElement(rd, j, -s * across, c * across, 8.0, Complex(1.0, 0.0),
                                    Complex(0.0, across > 0 ? -0.3 : 0.3));
        }
    }
}

TEST(WirePhysics, NoFieldOnAPerfectGround) {
    // Short and long, level and sloping wires: the horizontal field of the
    // wire and of its image cancel on the ground, at every distance.
    const Scatterer wires[] = {test::makeWire(1000, -200, 30, 1000, 200, 30, 0.02),
                               test::makeWire(1500, -60, 15, 1560, 40, 60, 0.05),
                               test::makeWire(-800, 300, 80, 600, 500, 20, 0.1)};
    for (const Scatterer& w : wires) {
        TestRun t;
        setupPatternStation(*t.rd, 0.0, 1);
        std::vector<ObservationPoint> pts;
        for (int i = 0; i < 8; ++i) pts.push_back({3000.0 - 700.0 * i, 90.0 * i - 300.0, 0.0, -200, 0, 0});
        pts.push_back({2500.0, 40.0, 25.0, -200.0, 0.0, 0.0});
        test::setFlight(*t.rd, pts);
        const auto r = wireField(t, w);
        for (size_t i = 0; i + 1 < r.size(); ++i) EXPECT_EQ(test::largestValue({r[i]}), 0.0) << i;
        EXPECT_GT(test::largestValue({r.back()}), 0.0);
    }
}

TEST(WirePhysics, RayAlongALevelWireStaysFinite) {
    // Wire along the x axis at the array's height: every ray runs along it.
    TestRun t;
    setupPatternStation(*t.rd, 0.0);
    const std::vector<ObservationPoint> pts = test::approachPoints(10);
    test::setFlight(*t.rd, pts);
    const auto along = wireField(t, test::makeWire(500, 0, 8, 1700, 0, 8, 0.05));
    ASSERT_TRUE(test::allFinite(along));
    // The horizontal field across a ray along the wire has no component on
    // it: no forced current, and the ends carry none either.
    EXPECT_EQ(test::largestValue(along), 0.0);

    // Nearly along: the field grows smoothly from zero as the wire turns,
    // bounded by the wire's length (the floor on sin^2 b), not by 1 / sin^2 b.
    double previous = 0.0;
    for (const double offset : {0.01, 0.1, 1.0, 10.0}) {
        TestRun n;
        setupPatternStation(*n.rd, 0.0);
        test::setFlight(*n.rd, pts);
        const auto r = wireField(n, test::makeWire(500, 0, 8, 1700, offset, 8, 0.05));
        ASSERT_TRUE(test::allFinite(r));
        const double v = test::largestValue(r);
        EXPECT_GT(v, previous) << offset;
        previous = v;
    }
    EXPECT_LT(previous, 1.0);
}

TEST(WirePhysics, RadiusZeroAddsNothing) {
    for (const double length : {120.0, 600.0}) {
        TestRun t;
        setupPatternStation(*t.rd, 0.0, 1);
        test::setFlight(*t.rd, test::approachPoints(6));
        const auto r = wireField(t, test::makeWire(1000, -length / 2, 30, 1000, length / 2, 40, 0.0));
        EXPECT_EQ(test::largestValue(r), 0.0) << length;
        EXPECT_EQ(t.logText(), "");
    }
}

// Turns a point about the z axis by angle a.
void turn(double a, double& x, double& y) {
    const double c = std::cos(a), s = std::sin(a);
    const double nx = c * x - s * y, ny = s * x + c * y;
    x = nx;
    y = ny;
}

TEST(WirePhysics, TurningTheWholeSceneLeavesTheFieldUnchanged) {
    // Back-scatter, forward scatter, short and long wires, rays crossing
    // the broadside plane: one frame or another must not matter.
    const Scatterer wires[] = {test::makeWire(1000, -200, 30, 1000, 200, 30, 0.02),
                               test::makeWire(-1200, -50, 20, -1150, 60, 35, 0.05),
                               test::makeWire(300, 400, 60, 2500, 900, 40, 0.03)};
    std::vector<ObservationPoint> base = test::approachPoints(8);
    base.push_back({-2000.0, 300.0, 200.0, 150.0, -20.0, 3.0});
    base.push_back({400.0, -1500.0, 90.0, 10.0, 200.0, 0.0});
    for (const Scatterer& w : wires) {
        std::vector<std::vector<FieldRecord>> results;
        for (const double angle : {0.0, 30.0 * kDegToRad}) {
            TestRun t;
            setupPatternStation(*t.rd, angle, 1);
            std::vector<ObservationPoint> pts = base;
            for (ObservationPoint& p : pts) {
                turn(angle, p.x, p.y);
                turn(angle, p.vx, p.vy);
            }
            test::setFlight(*t.rd, pts);
            double x1 = w.x1, y1 = w.y1, x2 = w.x2, y2 = w.y2;
            turn(angle, x1, y1);
            turn(angle, x2, y2);
            results.push_back(wireField(t, test::makeWire(x1, y1, w.z1, x2, y2, w.z2, w.radius)));
        }
        const double scale = test::largestValue(results[0]);
        ASSERT_GT(scale, 0.0);
        EXPECT_LT(test::largestDifference(results[0], results[1]), 1e-9 * scale);
    }
}

}  // namespace
}  // namespace ils
