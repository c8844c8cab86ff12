// Review checks of the moving-plate computation: the moving plate against the
// fixed plate placed where the moving one is at each point, and motion-file
// details.
#include <cmath>
#include <string>
#include <vector>

#include "path/direct_field.h"
#include "path/run_tables.h"
#include "scatter/moving_plate.h"
#include "scatter/numerics.h"
#include "scatter/plate.h"
#include "scatter/scatterer_reader.h"
#include "scatter/wire_scene.h"
#include "support/test_support.h"

namespace ils {
namespace {

using test::TestRun;

std::vector<ObservationPoint> mixedPoints() {
    std::vector<ObservationPoint> pts = test::approachPoints(9);
    pts.push_back({700.0, -350.0, 55.0, -150.0, 40.0, -3.0});
    pts.push_back({1200.0, 900.0, 12.0, 0.0, -60.0, 0.0});
    pts.push_back({-400.0, 30.0, 300.0, -220.0, 0.0, -12.0});
    return pts;
}

// ---------------------------------------------------------------------------
// Motion file.

int readMotion(TestRun& t, const std::string& content) {
    const std::string path = t.scratch + "motion.txt";
    test::writeFile(path, content);
    return readMovingScatterers(*t.rd, (" " + path + "\n").c_str());
}

TEST(ReviewMotionFile, LegVelocityIsLegTimesSpeedOverLength) {
    TestRun t;
    test::setupCourseArray(*t.rd);
    test::setFlight(*t.rd, test::approachPoints(4), 1.0);
    // Leg of 50 ft along (30, 40, 0) at 0.7 ft/s: velocity (30 * 0.7 / 50, 40 * 0.7 / 50, 0).
    ASSERT_EQ(readMotion(t, "0\n2\n0 0 0 0 0.7\n30 40 0 0 0\n"), 0);
    const MovingPosition& e = t.rd->movingTable.entries[0];
    const double d[2] = {30.0, 40.0}, s = 0.7, L = 50.0;
    EXPECT_EQ(e.velocityX, d[0] * s / L);
    EXPECT_EQ(e.velocityY, d[1] * s / L);
    EXPECT_EQ(e.velocityZ, 0.0);
}

TEST(ReviewMotionFile, MissingFileMessageQuotesThePathAsWritten) {
    TestRun t;
    test::setupCourseArray(*t.rd);
    test::setFlight(*t.rd, test::approachPoints(2), 1.0);
    const std::string missing = t.scratch + "no\\such\\motion.txt";
    EXPECT_EQ(readMovingScatterers(*t.rd, ("  " + missing + " \r\n").c_str()), -1);
    EXPECT_EQ(t.logText(), "ERROR! Could not open file " + missing + "\n");
}

// ---------------------------------------------------------------------------
// Moving plate against the fixed plate at the moved position.

TEST(ReviewMovingPlate, EachPointSeesTheFixedPlateWhereTheMovingOneIs) {
    const std::string plateLines = "f 0 0\n500 300 1500 320 2 40 10\n";
    const std::string motion = "0\n3\n0 0 0 0 60\n-50 180 4 -15 45\n-120 180 9 -25 0\n";
    const auto pts = mixedPoints();

    TestRun moving;
    test::setupCourseArray(*moving.rd, 1);
    moving.rd->system.captureWeight = 0.7;
    test::setFlight(*moving.rd, pts, 1.5);
    // The centre comes from the plates after SG: box x 400..1500, y 300..320.
    moving.setCommandText("SP\n" + plateLines + "SP\nf 0 0\n400 310 450 310 0 5 0\nEN\n");
    ASSERT_EQ(readMotion(moving, motion), 0);
    EXPECT_EQ(moving.rd->plateMotionCentreX, 950.0);
    EXPECT_EQ(moving.rd->plateMotionCentreY, 310.0);
    moving.setCommandText(plateLines);
    Scatterer plate;
    ASSERT_EQ(readScatterer(*moving.rd, "SP", plate), 0);
    ASSERT_EQ(computeMovingPlate(*moving.rd, plate, 1), 0);
    const auto got = test::fieldRecords(*moving.rd);
    const std::vector<MovingPosition> table = moving.rd->movingTable.entries;
    ASSERT_EQ(table.size(), pts.size());
    bool someTurned = false, someMoving = false;

    for (size_t i = 0; i < pts.size(); ++i) {
        const MovingPosition& e = table[i];
        someTurned = someTurned || e.rotation != 0.0;
        someMoving = someMoving || e.velocityX != 0.0;
        Scatterer placed = plate;
        if (e.rotation != 0.0) {
            const double cx = 950.0, cy = 310.0, c = std::cos(e.rotation), s = std::sin(e.rotation);
            placed.x1 = (plate.x1 - cx) * c - (plate.y1 - cy) * s + cx;
            placed.y1 = (plate.x1 - cx) * s + (plate.y1 - cy) * c + cy;
            placed.x2 = (plate.x2 - cx) * c - (plate.y2 - cy) * s + cx;
            placed.y2 = (plate.x2 - cx) * s + (plate.y2 - cy) * c + cy;
            placed.azimuth += e.rotation;
        }
        placed.x1 += e.offsetX;
        placed.y1 += e.offsetY;
        placed.z1 += e.offsetZ;
        placed.x2 += e.offsetX;
        placed.y2 += e.offsetY;
        placed.z2 += e.offsetZ;
        TestRun fixed;
        test::setupCourseArray(*fixed.rd, 1);
        fixed.rd->system.captureWeight = 0.7;
        ObservationPoint p = pts[i];
        p.vx -= e.velocityX;
        p.vy -= e.velocityY;
        p.vz -= e.velocityZ;
        test::setFlight(*fixed.rd, {p}, 1.5);
        ASSERT_EQ(computePlate(*fixed.rd, placed, 1), 0);
        const FieldRecord want = test::fieldRecords(*fixed.rd)[0];
        for (int s = 0; s < 15; ++s) EXPECT_EQ(got[i].slot[s], want.slot[s]) << i << " " << s;
    }
    EXPECT_TRUE(someTurned);
    EXPECT_TRUE(someMoving);
    EXPECT_GT(test::largestValue(got), 0.0);
}

}  // namespace
}  // namespace ils
