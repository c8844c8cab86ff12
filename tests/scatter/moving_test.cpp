// Moving plates: the motion file and its table, the motion centre, and the
// moving-plate computation compared with the fixed plate.
#include <cmath>
#include <string>
#include <vector>

#include "input/lines.h"
#include "path/run_tables.h"
#include "scatter/moving_plate.h"
#include "scatter/plate.h"
#include "scatter/scatterer_reader.h"
#include "scatter/wire_scene.h"
#include "support/test_support.h"

namespace ils {
namespace {

using test::TestRun;

constexpr double kRightAngle = 90.0 * -kDegToRad;  // a waypoint rotation of 90 degrees

// Writes the motion file into the scratch directory and reads it as the SG
// line's text from column 8 would hand it over.
int readMotion(TestRun& t, const std::string& content) {
    const std::string path = t.scratch + "motion.txt";
    test::writeFile(path, content);
    return readMovingScatterers(*t.rd, ("  " + path + "  \r\n").c_str());
}

std::vector<MovingPosition> movingEntries(RunData& rd) {
    const TableStore<MovingPosition>& table = rd.movingTable;
    if (table.inMemory) return table.entries;
    std::vector<MovingPosition> out(static_cast<size_t>(rd.pointCount));
    FILE* f = std::fopen(table.path, "rb");
    EXPECT_NE(f, nullptr);
    if (f != nullptr) {
        EXPECT_EQ(std::fread(out.data(), sizeof(MovingPosition), out.size(), f), out.size());
        std::fclose(f);
    }
    return out;
}

void expectEntry(const MovingPosition& e, double x, double y, double z, double vx, double vy,
                 double vz, double rotation, int index) {
    EXPECT_DOUBLE_EQ(e.offsetX, x) << "entry " << index;
    EXPECT_DOUBLE_EQ(e.offsetY, y) << "entry " << index;
    EXPECT_DOUBLE_EQ(e.offsetZ, z) << "entry " << index;
    EXPECT_DOUBLE_EQ(e.velocityX, vx) << "entry " << index;
    EXPECT_DOUBLE_EQ(e.velocityY, vy) << "entry " << index;
    EXPECT_DOUBLE_EQ(e.velocityZ, vz) << "entry " << index;
    EXPECT_DOUBLE_EQ(e.rotation, rotation) << "entry " << index;
}

// n points on the approach; the table and tables of the run exist.
void prepare(TestRun& t, int n, double meanTimeStep = 1.0) {
    test::setupCourseArray(*t.rd);
    test::setFlight(*t.rd, test::approachPoints(n), meanTimeStep);
}

TEST(MotionFile, TwoWaypointExampleEntryByEntry) {
    for (const bool files : {false, true}) {
        TestRun t;
        testControl().forceFileStorage = files;
        prepare(t, 15);
        ASSERT_EQ(readMotion(t, "1\nheader text\n2\n0 0 0 0 10\n100 0 0 90 0\n"), 0);
        EXPECT_EQ(t.rd->movingTable.inMemory, !files);
        const auto e = movingEntries(*t.rd);
        for (int i = 0; i < 10; ++i) expectEntry(e[i], 10.0 * i, 0, 0, 10, 0, 0, 0, i);
        for (int i = 10; i < 15; ++i) expectEntry(e[i], 100, 0, 0, 0, 0, 0, kRightAngle, i);
        EXPECT_NEAR(e[14].rotation, -1.570796326795, 1e-15);
        if (files) {
            EXPECT_EQ(test::readFile(t.scratch + "dynscat.tmp").size(), 15u * 56u);
            releaseRunTables(*t.rd);
            EXPECT_FALSE(test::fileExists(t.scratch + "dynscat.tmp"));
        } else {
            EXPECT_FALSE(test::fileExists(t.scratch + "dynscat.tmp"));
        }
    }
}

TEST(MotionFile, LegRules) {
    TestRun t;
    prepare(t, 12, 2.0);
    // Leg 1 at speed 0: no entries, the plates jump to waypoint 2.
    // Leg 2: 20 ft at 4 ft/s, 2 s apart: 2.5 + 0.5 -> 3 entries.
    // Leg 3: 3 ft at 4 ft/s: shorter than half a step, still one entry.
    // Leg 4: zero length at speed 7: one entry at rest.
    // Leg 5: 40 ft at -5 ft/s: count trunc(-4 + 0.5) = -3, no entries.
    ASSERT_EQ(readMotion(t,
                         "0\n6\n"
                         "0 0 0 0 0\n"
                         "50 0 0 0 4\n"
                         "50 20 0 0 4\n"
                         "50 23 0 0 7\n"
                         "50 23 0 0 -5\n"
                         "50 23 40 45 0\n"),
              0);
    const auto e = movingEntries(*t.rd);
    const double third = 20.0 / 3.0;
    expectEntry(e[0], 50, 0, 0, 0, 4, 0, 0, 0);
    expectEntry(e[1], 50, third, 0, 0, 4, 0, 0, 1);
    expectEntry(e[2], 50, 2 * third, 0, 0, 4, 0, 0, 2);
    expectEntry(e[3], 50, 20, 0, 0, 4, 0, 0, 3);
    expectEntry(e[4], 50, 23, 0, 0, 0, 0, 0, 4);
    for (int i = 5; i < 12; ++i) expectEntry(e[i], 50, 23, 40, 0, 0, 0, 45 * -kDegToRad, i);
}

TEST(MotionFile, TableShorterOrLongerThanTheWaypoints) {
    {
        TestRun t;
        prepare(t, 4);
        // The first leg fills the table; later waypoints are not needed.
        ASSERT_EQ(readMotion(t, "0\n3\n0 0 0 10 5\n0 50 0 0 5\n1e308 1e308 0 0 0\n"), 0);
        const auto e = movingEntries(*t.rd);
        for (int i = 0; i < 4; ++i) expectEntry(e[i], 0, 5.0 * i, 0, 0, 5, 0, 10 * -kDegToRad, i);
    }
    for (const char* count : {"1", "0", "-3"}) {
        // One waypoint (or none announced: the first line is still read).
        TestRun t;
        prepare(t, 5);
        ASSERT_EQ(readMotion(t, std::string("2\na\nb\n") + count + "\n7 -8 9 30 12\n1 1 1 1 1\n"),
                  0);
        const auto e = movingEntries(*t.rd);
        for (int i = 0; i < 5; ++i) expectEntry(e[i], 7, -8, 9, 0, 0, 0, 30 * -kDegToRad, i);
    }
}

TEST(MotionFile, UnconvertedValuesAreZero) {
    {
        TestRun t;
        prepare(t, 7);
        // A header count that is not a number skips nothing; the file ending
        // early reads as waypoints of zeros, so the last leg runs to the origin.
        ASSERT_EQ(readMotion(t, "none\n9\n10 0 0 0 10\n30 0 0 0 10\n"), 0);
        const auto e = movingEntries(*t.rd);
        expectEntry(e[0], 10, 0, 0, 10, 0, 0, 0, 0);
        expectEntry(e[1], 20, 0, 0, 10, 0, 0, 0, 1);
        expectEntry(e[2], 30, 0, 0, -10, 0, 0, 0, 2);
        expectEntry(e[3], 20, 0, 0, -10, 0, 0, 0, 3);
        expectEntry(e[4], 10, 0, 0, -10, 0, 0, 0, 4);
        expectEntry(e[5], 0, 0, 0, 0, 0, 0, 0, 5);
        expectEntry(e[6], 0, 0, 0, 0, 0, 0, 0, 6);
    }
    {
        // A short waypoint line keeps the values before the first one that
        // does not convert and reads 0 for the rest.
        TestRun t;
        prepare(t, 3);
        ASSERT_EQ(readMotion(t, "0\n1\n5 abc 7 45 1\n8 9\n"), 0);
        const auto e = movingEntries(*t.rd);
        for (int i = 0; i < 3; ++i) expectEntry(e[i], 5, 0, 0, 0, 0, 0, 0, i);
    }
}

// A leg whose length overflows is refused, naming the waypoint's line; what
// was stored holds no infinity.
TEST(MotionFile, OverflowingWaypointsAreRefused) {
    TestRun t;
    prepare(t, 3);
    ASSERT_EQ(readMotion(t, "0\n2\n-1e308 0 0 0 1e300\n1e308 0 0 0 0\n"), -1);
    EXPECT_EQ(t.logText(), "ERROR! SG command motion file line 4 gives a value that is not finite.\n");
    for (const MovingPosition& m : movingEntries(*t.rd)) {
        for (double v : {m.offsetX, m.offsetY, m.offsetZ, m.velocityX, m.velocityY, m.velocityZ,
                         m.rotation})
            EXPECT_TRUE(std::isfinite(v));
    }
}

TEST(MotionFile, MissingFileLeavesTheTable) {
    TestRun t;
    prepare(t, 3);
    ASSERT_EQ(readMotion(t, "0\n1\n5 5 5 0 0\n"), 0);
    t.rd->plateMotionCentreX = 12.0;
    const std::string missing = t.scratch + "nowhere.txt";
    EXPECT_EQ(readMovingScatterers(*t.rd, ("   " + missing + "\n").c_str()), -1);
    EXPECT_EQ(t.logText(), "ERROR! Could not open file " + missing + "\n");
    EXPECT_EQ(movingEntries(*t.rd)[2].offsetX, 5.0);
    EXPECT_EQ(t.rd->plateMotionCentreX, 12.0);
}

TEST(MotionCentre, PlatesUpToTheNextSgOrEn) {
    TestRun t;
    prepare(t, 2);
    t.rd->system.carrierWavelength = 8.0;
    const std::string after =
        "SP\nMeters 0 0\n100 0 200 50 0 10 0\n"
        "SW\nf 0 0\n-9000 -9000 9000 9000 1 2 0.1\n"
        "SP\nX 2 0\n-100 -40 0 0\n"     // rejected by the SP reader: feet here
        "SP\nw 2 0\n10 10 12 -60 0 1 0\n"  // wavelengths of 8 ft
        "SG 0\n"
        "SP\nf 0 0\n5000 5000 6000 6000 0 1 0\n"
        "EN\n";
    t.setCommandText("SG 1   motion\n" + after);
    char line[kLineSize];
    ASSERT_TRUE(readLine(t.rd->commandFile, line));
    ASSERT_EQ(readMotion(t, "0\n1\n0 0 0 0 0\n"), 0);
    const double xmax = 200.0 * kFeetPerMetre, ymin = -480.0, ymax = 50.0 * kFeetPerMetre;
    EXPECT_DOUBLE_EQ(t.rd->plateMotionCentreX, (xmax - 100.0) / 2.0);
    EXPECT_DOUBLE_EQ(t.rd->plateMotionCentreY, (ymax + ymin) / 2.0);
    // The driver goes on with the command after SG.
    ASSERT_TRUE(readLine(t.rd->commandFile, line));
    EXPECT_STREQ(line, "SP\n");

    // No plate before EN: the centre of the empty box is (0, 0).
    t.setCommandText("EN\nSP\nf 0 0\n100 100 200 200 0 1 0\n");
    ASSERT_EQ(readMotion(t, "0\n1\n0 0 0 0 0\n"), 0);
    EXPECT_EQ(t.rd->plateMotionCentreX, 0.0);
    EXPECT_EQ(t.rd->plateMotionCentreY, 0.0);
}

// A plate along y = 300 from x = 500 to 1500, 40 ft high, facing the station.
Scatterer readPlate(TestRun& t, const std::string& lines) {
    Scatterer plate;
    t.setCommandText(lines);
    EXPECT_EQ(readScatterer(*t.rd, "SP", plate), 0);
    return plate;
}
const char* const kPlateLines = "f 0 0\n500 300 1500 300 0 40 0\n";

TEST(MovingPlate, AtRestAddsWhatTheFixedPlateAdds) {
    TestRun fixed, moving, noTable;
    for (TestRun* t : {&fixed, &moving, &noTable}) prepare(*t, 12);
    const Scatterer plate = readPlate(fixed, kPlateLines);
    ASSERT_EQ(computePlate(*fixed.rd, plate, 1), 0);
    ASSERT_EQ(readMotion(moving, "0\n1\n0 0 0 0 0\n"), 0);
    ASSERT_EQ(computeMovingPlate(*moving.rd, plate, 1), 0);
    // Without a table (a later FP replaced the flight) the plate is at rest too.
    ASSERT_EQ(computeMovingPlate(*noTable.rd, plate, 1), 0);
    const auto a = test::fieldRecords(*fixed.rd);
    const auto b = test::fieldRecords(*moving.rd);
    const auto c = test::fieldRecords(*noTable.rd);
    ASSERT_GT(test::largestValue(a), 0.0);
    for (size_t i = 0; i < a.size(); ++i) {
        for (int s = 0; s < 15; ++s) {
            EXPECT_EQ(b[i].slot[s], a[i].slot[s]) << i << " " << s;
            EXPECT_EQ(c[i].slot[s], a[i].slot[s]) << i << " " << s;
        }
    }
    EXPECT_EQ(moving.logText(), "");
}

TEST(MovingPlate, RotatesAboutTheMotionCentre) {
    TestRun turned, placed;
    prepare(turned, 10);
    prepare(placed, 10);
    // Box of the plates after SG: x 1000..1200, y -50..100, centre (1100, 25).
    turned.setCommandText(
        "SP\nf 0 0\n1000 -50 1000 50 0 30 0\nSP\nf 2 0\n1200 0 1200 100 0 1 0\nEN\n");
    ASSERT_EQ(readMotion(turned, "0\n1\n0 0 5 90 0\n"), 0);
    EXPECT_EQ(turned.rd->plateMotionCentreX, 1100.0);
    EXPECT_EQ(turned.rd->plateMotionCentreY, 25.0);
    const Scatterer plate = readPlate(turned, "f 0 0\n1000 -50 1000 50 0 30 0\n");
    ASSERT_EQ(computeMovingPlate(*turned.rd, plate, 1), 0);

    // Turned 90 degrees clockwise about (1100, 25) and raised 5 ft, the plate
    // runs from (1025, 125) to (1125, 125), not about its own centre (1000, 0).
    ASSERT_EQ(readMotion(placed, "0\n1\n0 0 0 0 0\n"), 0);
    const Scatterer expected = readPlate(placed, "f 0 0\n1025 125 1125 125 5 30 0\n");
    ASSERT_EQ(computeMovingPlate(*placed.rd, expected, 1), 0);

    const auto a = test::fieldRecords(*turned.rd);
    const auto b = test::fieldRecords(*placed.rd);
    ASSERT_GT(test::largestValue(b), 0.0);
    // The waypoint's 90 degrees are 1.570796326795 rad, 2e-13 off a right angle.
    EXPECT_LT(test::largestDifference(a, b), 1e-9 * test::largestValue(b));
}

TEST(MovingPlate, DopplerUsesTheVelocityRelativeToThePlate) {
    std::vector<std::vector<FieldRecord>> r;
    const double cases[3][2] = {{-200.0, 0.0}, {0.0, 200.0}, {0.0, 0.0}};  // aircraft, plate
    for (const auto& c : cases) {
        TestRun t;
        test::setupCourseArray(*t.rd);
        std::vector<ObservationPoint> pts = test::approachPoints(8);
        for (ObservationPoint& p : pts) p.vx = c[0];
        test::setFlight(*t.rd, pts);
        t.rd->movingTable.held = t.rd->movingTable.inMemory = true;
        t.rd->movingTable.entries.assign(8, MovingPosition{0, 0, 0, c[1], 0, 0, 0});
        const Scatterer plate = readPlate(t, kPlateLines);
        ASSERT_EQ(computeMovingPlate(*t.rd, plate, 1), 0);
        r.push_back(test::fieldRecords(*t.rd));
    }
    // Aircraft at -200 ft/s past a plate at rest, or a plate at +200 ft/s past
    // an aircraft at rest: the same filter weights.
    EXPECT_EQ(test::largestDifference(r[0], r[1]), 0.0);
    ASSERT_GT(test::largestValue(r[0]), 0.0);
    // Without relative motion the weights differ (f0 = 1).
    EXPECT_GT(test::largestDifference(r[0], r[2]), 1e-3 * test::largestValue(r[2]));
}

TEST(MovingPlate, FileStorageGivesTheSameRecords) {
    TestRun memory, files;
    std::vector<std::vector<FieldRecord>> r;
    for (TestRun* t : {&memory, &files}) {
        testControl().forceFileStorage = t == &files;
        prepare(*t, 9);
        ASSERT_EQ(readMotion(*t, "0\n3\n0 0 0 0 100\n0 300 0 20 50\n-200 300 0 0 0\n"), 0);
        const Scatterer plate = readPlate(*t, kPlateLines);
        ASSERT_EQ(computeMovingPlate(*t->rd, plate, 1), 0);
        r.push_back(test::fieldRecords(*t->rd));
    }
    ASSERT_FALSE(files.rd->movingTable.inMemory);
    ASSERT_FALSE(files.rd->fieldTable.inMemory);
    ASSERT_FALSE(files.rd->pointTable.inMemory);
    ASSERT_TRUE(test::allFinite(r[0]));
    ASSERT_GT(test::largestValue(r[0]), 0.0);
    for (size_t i = 0; i < r[0].size(); ++i) {
        for (int s = 0; s < 15; ++s) EXPECT_EQ(r[0][i].slot[s], r[1][i].slot[s]) << i << " " << s;
        // Slots 12..14 are the FieldFile writer's: the table keeps them zero.
        EXPECT_EQ(r[1][i].slot[12], Complex(0, 0));
        EXPECT_EQ(r[1][i].slot[14], Complex(0, 0));
    }
    EXPECT_EQ(test::readFile(files.scratch + "fields.tmp").size(), 9u * 240u);
    EXPECT_FALSE(test::fileExists(files.scratch + "fields1.tmp"));
}

TEST(MovingPlate, WarningCountsTheTimeTurnedAway) {
    TestRun t;
    prepare(t, 16);
    // The plate's own centre is (1000, 300): half a turn about it makes the
    // plate face away from the station for the second half of the flight.
    t.rd->plateMotionCentreX = 1000.0;
    t.rd->plateMotionCentreY = 300.0;
    t.rd->movingTable.held = t.rd->movingTable.inMemory = true;
    t.rd->movingTable.entries.assign(16, MovingPosition{});
    for (int i = 8; i < 16; ++i) t.rd->movingTable.entries[i].rotation = 180.0 * -kDegToRad;
    const Scatterer plate = readPlate(t, "f 0 1\n500 300 1500 300 0 40 0\n");
    ASSERT_EQ(computeMovingPlate(*t.rd, plate, 2), 0);
    EXPECT_EQ(t.logText(),
              "WARNING! Reflective plate 2 is not facing the system 50.0 %\n"
              "of the time.  Part or all of the field is not calculated.\n");
    const auto r = test::fieldRecords(*t.rd);
    EXPECT_GT(test::largestValue({r[0]}), 0.0);
    EXPECT_EQ(test::largestValue({r[15]}), 0.0);
}

TEST(MovingPlate, ProgressByStrideOfPoints) {
    TestRun t;
    prepare(t, 60);
    t.rd->scatterCommandCount = 5;
    t.rd->progressAccumulator = 8.3;
    ASSERT_EQ(readMotion(t, "0\n1\n0 0 0 0 0\n"), 0);
    // Stride trunc(60 * 5 / 100 + 0.5) = 3 points: 20 percents.
    const Scatterer plate = readPlate(t, "f 0 0\n500 300 600 300 0 10 0\n");
    ASSERT_EQ(computeMovingPlate(*t.rd, plate, 1), 0);
    EXPECT_EQ(t.rd->progressPercent.load(), 28);
}

}  // namespace
}  // namespace ils
