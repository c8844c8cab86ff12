// FP: decoding, the point patterns, counts and directions, run values and
// every failure message.
#include <cmath>
#include <cstring>
#include <filesystem>

#include "path/path_helpers.h"

namespace ils {
namespace {

using test::runFlightProfile;
using test::tablePoints;
using test::TestRun;

constexpr double kRel = 1e-12;
constexpr double kAbs = 1e-9;
constexpr double kKnot = 1.6877777777777778;

// ---- decoding -------------------------------------------------------------

TEST(FlightProfileDecoding, WordsCountByFirstLetterWhateverTheCase) {
    // approach nm kts back: pattern A, nautical miles, knots, backcourse.
    TestRun t;
    ASSERT_EQ(runFlightProfile(t, "approach nm kts back\n"
                                  "0.5 0 0\n"
                                  "2 0 1 0 3 10 50\n"
                                  "100\n"),
              0)
        << t.logText();
    RunData& rd = *t.rd;
    ASSERT_EQ(rd.pointCount, 3);
    const auto pts = tablePoints(rd);
    const double psi = 180.0 * kDegToRad;  // heading 0 turned for the backcourse
    const double d0 = 0.5 * 6076.0;
    const double h = (-0.0 - d0) / std::cos(psi);
    const double v = -100.0 * kKnot;  // decreasing distance
    for (int i = 0; i < 3; ++i) {
        const double d = (2.0 - i) * 6076.0;
        if (i == 2) {  // d = 0 is where the rollout begins
            EXPECT_CLOSE(pts[i].x, -d0, 1e-12, 0);
            continue;
        }
        EXPECT_CLOSE(pts[i].x, std::cos(psi) * (h + d), kRel, kAbs);
        EXPECT_CLOSE(pts[i].x, -d - d0, 1e-9, 1e-6);  // d cos(psi) - D0
        // |Y0| < 0.005: captured onto y = 0 from d <= -h on; all points lie beyond.
        EXPECT_CLOSE(pts[i].y, std::sin(psi) * (h + d), kRel, kAbs);
        EXPECT_CLOSE(pts[i].z, 50.0 + d * std::tan(3.0 * kDegToRad), kRel, kAbs);
        EXPECT_CLOSE(pts[i].vx, v * std::cos(psi) * std::cos(3.0 * kDegToRad), kRel, kAbs);
        EXPECT_CLOSE(pts[i].vz, v * std::sin(3.0 * kDegToRad), kRel, kAbs);
    }
    EXPECT_CLOSE(rd.speedRatio, 84.39 / (100.0 * kKnot), kRel, 0);
}

TEST(FlightProfileDecoding, UnitFactorsScaleTheListedInputsOnly) {
    // Metres and metres per second; the orbit radius and the origin scale,
    // the height and the angle step do not.
    TestRun t;
    ASSERT_EQ(runFlightProfile(t, "C m m f\n0 10 20\n0 90 45 1000 500\n50\n"), 0) << t.logText();
    const auto pts = tablePoints(*t.rd);
    ASSERT_EQ(pts.size(), 3u);
    const double r = 1000.0 * kFeetPerMetre, v = 50.0 * kFeetPerMetre;
    for (int i = 0; i < 3; ++i) {
        const double a = 45.0 * i * kDegToRad;
        EXPECT_CLOSE(pts[i].x, 10.0 * kFeetPerMetre + r * std::cos(a), kRel, kAbs);
        EXPECT_CLOSE(pts[i].y, 20.0 * kFeetPerMetre + r * std::sin(a), kRel, kAbs);
        EXPECT_EQ(pts[i].z, 500.0);
        EXPECT_CLOSE(pts[i].vx, -v * std::sin(a), kRel, kAbs);
        EXPECT_CLOSE(pts[i].vy, v * std::cos(a), kRel, kAbs);
        EXPECT_EQ(pts[i].vz, 0.0);
    }
    // Velocity codes K and N are both knots; F feet per second.
    for (const char* unit : {"K", "n", "Fps"}) {
        TestRun k;
        ASSERT_EQ(runFlightProfile(k, std::string("C f ") + unit + " f\n0 0 0\n0 10 10 100 0\n10\n"),
                  0);
        const double h = unit[0] == 'F' ? 1.0 : kKnot;
        EXPECT_CLOSE(k.rd->speedRatio, 84.39 / (10.0 * h), kRel, 0) << unit;
    }
}

// ---- counts and directions ------------------------------------------------

TEST(FlightProfileCounts, LastPointMayLieHalfAStepBeyondTheEnd) {
    TestRun t;
    ASSERT_EQ(runFlightProfile(t, "A F F F\n0 0 0\n0 100 40 0 3 1000 0 -1000\n100\n"), 0);
    const auto pts = tablePoints(*t.rd);
    ASSERT_EQ(pts.size(), 4u);
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(pts[i].x, 40.0 * i);  // heading 0, X0 0: x = d
        EXPECT_EQ(pts[i].y, 0.0);
        EXPECT_EQ(pts[i].vx, 100.0 * std::cos(3.0 * kDegToRad));
        EXPECT_EQ(pts[i].vy, 0.0);
    }
    // Flight time along the glide path: 40 feet of ground per step.
    EXPECT_CLOSE(t.rd->meanTimeStep, 40.0 / std::cos(3.0 * kDegToRad) / 100.0, 1e-12, 0);
}

TEST(FlightProfileCounts, DecreasingDistanceTurnsStepAndSpeed) {
    for (const char* speed : {"100", "-100"}) {
        for (const char* step : {"1", "-1"}) {
            TestRun t;
            const std::string fp = std::string("A F K F\n0 0 0\n10 0 ") + step +
                                   " 0 3 1000 50\n" + speed + "\n";
            ASSERT_EQ(runFlightProfile(t, fp), 0) << t.logText();
            const auto pts = tablePoints(*t.rd);
            ASSERT_EQ(pts.size(), 11u);
            const double v = -100.0 * kKnot;
            for (int i = 0; i < 10; ++i) {  // d = 10 .. 1 on the glide path
                const double d = 10.0 - i;
                EXPECT_EQ(pts[i].x, d);
                EXPECT_CLOSE(pts[i].z, 50.0 + d * std::tan(3.0 * kDegToRad), kRel, 0);
                EXPECT_CLOSE(pts[i].vx, v * std::cos(3.0 * kDegToRad), kRel, 0);
                EXPECT_CLOSE(pts[i].vz, v * std::sin(3.0 * kDegToRad), kRel, 0);
            }
            EXPECT_EQ(pts[10].x, 0.0);
            EXPECT_CLOSE(t.rd->speedRatio, 84.39 / (100.0 * kKnot), kRel, 0);
        }
    }
}

TEST(FlightProfileCounts, EqualEndsGiveOnePointWithZeroMeanTimeStep) {
    for (const char* step : {"25", "0"}) {
        TestRun t;
        ASSERT_EQ(runFlightProfile(t, std::string("B F F F\n0 0 0\n3 3 ") + step + " 0 1000\n100\n"),
                  0)
            << t.logText();
        EXPECT_EQ(t.rd->pointCount, 1);
        EXPECT_EQ(t.rd->meanTimeStep, 0.0);  // not 0/0
        EXPECT_FALSE(std::isnan(t.rd->meanTimeStep));
        EXPECT_CLOSE(t.rd->speedRatio, 0.8439, kRel, 0);
    }
}

// ---- patterns -------------------------------------------------------------

TEST(FlightProfileApproach, SevenValuesRollOutAtTheGlidePathHeightBelowZero) {
    TestRun t;
    ASSERT_EQ(runFlightProfile(t, "A F F F\n0 0 0\n25 -25 10 0 3 1000 50\n100\n"), 0);
    const auto pts = tablePoints(*t.rd);
    ASSERT_EQ(pts.size(), 6u);  // 25 15 5 -5 -15 -25
    for (int i = 0; i < 6; ++i) {
        const double d = 25.0 - 10.0 * i;
        if (d > 0) {
            EXPECT_CLOSE(pts[i].z, 50.0 + d * std::tan(3.0 * kDegToRad), kRel, 0);
            EXPECT_NE(pts[i].vz, 0.0);
        } else {
            EXPECT_EQ(pts[i].z, 50.0);
            EXPECT_EQ(pts[i].vz, 0.0);
            EXPECT_EQ(pts[i].vx, -100.0);  // level rollout: the whole speed along x
        }
    }
}

TEST(FlightProfileApproach, InterceptAndRolloutHeights) {
    // Glide path 3 degrees through 10 feet at 0, intercept at 2000 feet,
    // rollout height 30: t = (30 - 10) / tan 3deg, about 381.6 feet.
    TestRun t;
    ASSERT_EQ(runFlightProfile(t, "A F F F\n0 0 0\n3000 0 500 0 3 2000 10 30\n100\n"), 0);
    const auto pts = tablePoints(*t.rd);
    ASSERT_EQ(pts.size(), 7u);
    const double tg = std::tan(3.0 * kDegToRad);
    const double zA = 2000.0 * tg + 10.0;
    for (int i = 0; i < 7; ++i) {
        const double d = 3000.0 - 500.0 * i;
        if (d >= 2000.0) {
            EXPECT_EQ(pts[i].z, zA) << d;
            EXPECT_EQ(pts[i].vz, 0.0);
            EXPECT_EQ(pts[i].vx, -100.0);
        } else if (d <= 20.0 / tg) {
            EXPECT_EQ(pts[i].z, 30.0) << d;
            EXPECT_EQ(pts[i].vz, 0.0);
        } else {
            EXPECT_CLOSE(pts[i].z, 10.0 + d * tg, kRel, 0) << d;
            EXPECT_CLOSE(pts[i].vz, -100.0 * std::sin(3.0 * kDegToRad), kRel, 0);
        }
    }
}

// Points with d <= -h are captured onto y = Y0; beyond they follow the heading.
TEST(FlightProfileApproach, CaptureOntoTheCentrelineForAHeadingAndSmallY0) {
    TestRun t;
    ASSERT_EQ(runFlightProfile(t, "A F F F\n0 -1000 0.004\n-3000 1000 500 30 0 1e6 100\n200\n"), 0);
    const auto pts = tablePoints(*t.rd);
    ASSERT_EQ(pts.size(), 9u);
    const double psi = 30.0 * kDegToRad;
    const double h = 1000.0 / std::cos(psi);
    int captured = 0;
    for (int i = 0; i < 9; ++i) {
        const double d = -3000.0 + 500.0 * i;
        EXPECT_CLOSE(pts[i].x, -1000.0 + std::cos(psi) * (h + d), kRel, kAbs);
        if (d <= -h) {
            ++captured;
            EXPECT_EQ(pts[i].y, 0.004);
            EXPECT_EQ(pts[i].vx, 200.0);
            EXPECT_EQ(pts[i].vy, 0.0);
        } else {
            EXPECT_CLOSE(pts[i].y, 0.004 + std::sin(psi) * (h + d), kRel, kAbs);
            EXPECT_CLOSE(pts[i].vx, 200.0 * std::cos(psi), kRel, 0);
            EXPECT_CLOSE(pts[i].vy, 200.0 * std::sin(psi), kRel, 0);
        }
    }
    EXPECT_EQ(captured, 4);  // -3000 .. -1500
    // A larger Y0 is never captured.
    TestRun far;
    ASSERT_EQ(runFlightProfile(far, "A F F F\n0 -1000 0.006\n-3000 1000 500 30 0 1e6 100\n200\n"),
              0);
    for (const auto& p : tablePoints(*far.rd)) EXPECT_CLOSE(p.vy, 200.0 * std::sin(psi), kRel, 0);
}

TEST(FlightProfileApproach, BackcourseRunsAlongNegativeXShiftedByTheOffset) {
    TestRun t;
    ASSERT_EQ(runFlightProfile(t, "A F F B\n-500 0 0\n1000 0 500 0 0 1e6 100\n100\n"), 0);
    const auto pts = tablePoints(*t.rd);
    ASSERT_EQ(pts.size(), 3u);
    for (int i = 0; i < 3; ++i) {
        const double d = 1000.0 - 500.0 * i;
        EXPECT_CLOSE(pts[i].x, -d - 500.0, 1e-9, 1e-6);  // D0 taken as its absolute value
        EXPECT_CLOSE(pts[i].vx, 100.0, 1e-9, 0);           // -v on the turned heading
    }
}

TEST(FlightProfileApproach, DecelerationSlowsTheRolloutToAStopInEitherStorage) {
    const std::string fp = "A F F F\n0 0 0\n25 -25 10 0 3 1000 50\n100 1\n";
    TestRun mem, file;
    ASSERT_EQ(runFlightProfile(mem, fp), 0);
    testControl().forceFileStorage = true;
    ASSERT_EQ(runFlightProfile(file, fp), 0) << file.logText();
    EXPECT_TRUE(mem.rd->pointTable.inMemory);
    EXPECT_FALSE(file.rd->pointTable.inMemory);
    const auto a = tablePoints(*mem.rd);
    const auto b = tablePoints(*file.rd);
    ASSERT_EQ(a.size(), 6u);
    // Rollout points d = -5, -15, -25: a = 3, m = 3.
    EXPECT_CLOSE(a[3].vx, -100.0 + 100.0 / 3.0, kRel, 0);
    EXPECT_CLOSE(a[4].vx, -100.0 + 200.0 / 3.0, kRel, 0);
    EXPECT_EQ(a[5].vx, 0.0);
    EXPECT_CLOSE(a[2].vx, -100.0 * std::cos(3.0 * kDegToRad), kRel, 0);  // glide path unchanged
    ASSERT_EQ(b.size(), a.size());
    for (size_t i = 0; i < a.size(); ++i) {
        EXPECT_EQ(std::memcmp(&a[i], &b[i], sizeof a[i]), 0) << i;
    }
    EXPECT_FALSE(test::fileExists(file.scratch + "flight1.tmp"));
}

TEST(FlightProfilePatterns, LevelRunIgnoresY0AndSpansTheElevationAngles) {
    TestRun t;
    ASSERT_EQ(runFlightProfile(t, "B m f f\n0 100 999\n45 5 1000 10 1000\n150\n"), 0);
    const auto pts = tablePoints(*t.rd);
    const double s1 = 1000.0 / std::tan(45.0 * kDegToRad);
    const double s2 = 1000.0 / std::tan(5.0 * kDegToRad);
    const double step = 1000.0 * kFeetPerMetre;
    const int n = static_cast<int>((s2 - s1) / step + 1.5);
    ASSERT_EQ(static_cast<int>(pts.size()), n);
    const double psi = 10.0 * kDegToRad;
    for (int i = 0; i < n; ++i) {
        const double d = s1 + i * step;
        EXPECT_CLOSE(pts[i].x, 100.0 * kFeetPerMetre + d * std::cos(psi), kRel, kAbs);
        EXPECT_CLOSE(pts[i].y, d * std::sin(psi), kRel, kAbs);  // Y0 not added
        EXPECT_EQ(pts[i].z, 1000.0);
        EXPECT_CLOSE(pts[i].vx, 150.0 * std::cos(psi), kRel, 0);
        EXPECT_CLOSE(pts[i].vy, 150.0 * std::sin(psi), kRel, 0);
    }
    EXPECT_CLOSE(t.rd->meanTimeStep, step / 150.0, 1e-12, 0);
}

TEST(FlightProfilePatterns, OrbitCodesCAndDAgreeAndBackcourseTurnsBothAngles) {
    TestRun c, d, back;
    ASSERT_EQ(runFlightProfile(c, "C F F F\n0 100 50\n90 -90 30 2000 800\n120\n"), 0);
    ASSERT_EQ(runFlightProfile(d, "d F F F\n0 100 50\n90 -90 30 2000 800\n120\n"), 0);
    ASSERT_EQ(runFlightProfile(back, "C F F B\n0 100 50\n-90 90 30 2000 800\n120\n"), 0);
    const auto pc = tablePoints(*c.rd);
    const auto pd = tablePoints(*d.rd);
    const auto pb = tablePoints(*back.rd);
    ASSERT_EQ(pc.size(), 7u);
    ASSERT_EQ(pd.size(), 7u);
    ASSERT_EQ(pb.size(), 7u);
    for (int i = 0; i < 7; ++i) {
        EXPECT_EQ(std::memcmp(&pc[i], &pd[i], sizeof pc[i]), 0);
        const double a = (90.0 - 30.0 * i) * kDegToRad;  // clockwise: speed -120
        EXPECT_CLOSE(pc[i].x, 100.0 + 2000.0 * std::cos(a), kRel, kAbs);
        EXPECT_CLOSE(pc[i].y, 50.0 + 2000.0 * std::sin(a), kRel, kAbs);
        EXPECT_CLOSE(pc[i].vx, 120.0 * std::sin(a), kRel, kAbs);
        EXPECT_CLOSE(pc[i].vy, -120.0 * std::cos(a), kRel, kAbs);
        const double ab = (90.0 + 30.0 * i) * kDegToRad;  // -90+180 up to 90+180
        EXPECT_CLOSE(pb[i].x, 100.0 + 2000.0 * std::cos(ab), kRel, kAbs);
        EXPECT_CLOSE(pb[i].y, 50.0 + 2000.0 * std::sin(ab), kRel, kAbs);
    }
    const double chord = 2.0 * 2000.0 * std::sin(15.0 * kDegToRad);
    EXPECT_CLOSE(c.rd->meanTimeStep, chord / 120.0, 1e-9, 0);
    EXPECT_CLOSE(c.rd->speedRatio, 84.39 / 120.0, kRel, 0);
}

// ---- user-defined profiles ------------------------------------------------

TEST(FlightProfileUser, PointsScaleAndRunValuesFollowThePointSpeeds) {
    TestRun t;
    const std::string file = t.scratch + "user.txt";
    test::writeFile(file,
                    "3 points\n"
                    "0 0 1   10 0 0\n"
                    "1 0 1\n20 0 0\n"
                    "1 1 1 0 0 40\n");
    ASSERT_EQ(runFlightProfile(t, "U m k b\n0 5 7\n  " + file + " \r\n"), 0) << t.logText();
    const auto pts = tablePoints(*t.rd);
    ASSERT_EQ(pts.size(), 3u);
    const double m = kFeetPerMetre;
    EXPECT_CLOSE(pts[1].x, 1.0 * m + 5.0 * m, kRel, 0);
    EXPECT_CLOSE(pts[2].y, 1.0 * m + 7.0 * m, kRel, 0);
    EXPECT_CLOSE(pts[2].z, 1.0 * m, kRel, 0);
    EXPECT_CLOSE(pts[1].vx, 20.0 * kKnot, kRel, 0);
    EXPECT_CLOSE(pts[2].vz, 40.0 * kKnot, kRel, 0);
    // T = m/(20 H) + m/(40 H); mean speed (10 + 20 + 40) H / 3.
    EXPECT_CLOSE(t.rd->meanTimeStep, (m / (20 * kKnot) + m / (40 * kKnot)) / 2.0, 1e-12, 0);
    EXPECT_CLOSE(t.rd->speedRatio, 84.39 / (70.0 * kKnot / 3.0), 1e-12, 0);
}

TEST(FlightProfileUser, RelativePathWithBackslashesIsReadFromTheCurrentDirectory) {
    namespace fs = std::filesystem;
    fs::create_directories("userdir");
    test::writeFile("userdir/rel.txt", "1\n0 0 0 1 0 0\n");
    TestRun t;
    EXPECT_EQ(runFlightProfile(t, "U F F F\n0 0 0\nuserdir\\rel.txt\n"), 0) << t.logText();
    EXPECT_EQ(t.rd->pointCount, 1);
    fs::remove_all("userdir");
}

TEST(FlightProfileUser, FileEndingEarlyGivesTheTwoPartMessageAndResultOne) {
    TestRun t;
    const std::string file = t.scratch + "short.txt";
    test::writeFile(file, "3\n0 0 0 1 0 0\n1 0 0 1 0\n");
    EXPECT_EQ(runFlightProfile(t, "U F F F\n0 0 0\n" + file + "\n"), 1);
    EXPECT_EQ(t.logText(),
              "ERROR! Unexpected end of file while reading user-defined flight profile.\n");
    // A count far beyond the file's points fails on the points, before any
    // table (or scratch file) of that size is made.
    test::writeFile(file, "2147483647\n0 0 0 1 0 0\n");
    TestRun huge;
    testControl().forceFileStorage = true;
    EXPECT_EQ(runFlightProfile(huge, "U F F F\n0 0 0\n" + file + "\n"), 1);
    EXPECT_EQ(huge.logText(),
              "ERROR! Unexpected end of file while reading user-defined flight profile.\n");
    EXPECT_FALSE(huge.rd->fieldTable.held);
    EXPECT_FALSE(test::fileExists(huge.scratch + "fields.tmp"));
    test::writeFile(file, "2\n0 0 0 1 0 0\n1 0 0 x 0 0\n");
    TestRun bad;
    EXPECT_EQ(runFlightProfile(bad, "U F F F\n0 0 0\n" + file + "\n"), 1);
    EXPECT_EQ(bad.logText(),
              "ERROR! Unexpected end of file while reading user-defined flight profile.\n");
}

TEST(FlightProfileUser, FileFaults) {
    TestRun t;
    const std::string file = t.scratch + "nocount.txt";
    test::writeFile(file, "points: 3\n");
    EXPECT_EQ(runFlightProfile(t, "U F F F\n0 0 0\n" + file + "\n"), -1);
    EXPECT_EQ(t.logText(),
              "ERROR! FP User command requires 1 inputs on line 4.\nLast line read:\n\tpoints: 3\n");

    TestRun missing;
    EXPECT_EQ(runFlightProfile(missing, "U F F F\n0 0 0\n\t dir\\none.txt \r\n"), -1);
    EXPECT_EQ(missing.logText(), "ERROR! Could not open file dir\\none.txt\n");

    TestRun empty;
    EXPECT_EQ(runFlightProfile(empty, "U F F F\n0 0 0\n   \r\n"), -1);
    EXPECT_EQ(empty.logText(),
              "ERROR! FP command requires 1 inputs on line 3.\nLast line read:\n\t   \r\n");

    TestRun none;
    test::writeFile(file, "0\n");
    EXPECT_EQ(runFlightProfile(none, "U F F F\n0 0 0\n" + file + "\n"), -1);
    EXPECT_EQ(none.logText(), "ERROR! User-defined flight profile needs at least one point: 0\n");
}

TEST(FlightProfileUser, ZeroSpeedsCannotGiveAFlightTime) {
    TestRun t;
    const std::string file = t.scratch + "still.txt";
    // Staying in place at zero speed takes no time; moving at zero speed fails.
    test::writeFile(file, "3\n0 0 0 10 0 0\n0 0 0 0 0 0\n5 0 0 0 0 0\n");
    EXPECT_EQ(runFlightProfile(t, "U F F F\n0 0 0\n" + file + "\n"), -1);
    EXPECT_EQ(t.logText(), "ERROR! User-defined flight profile point 3 moves at zero speed.\n");

    TestRun still;
    test::writeFile(file, "2\n0 0 0 0 0 0\n0 0 0 0 0 0\n");
    EXPECT_EQ(runFlightProfile(still, "U F F F\n0 0 0\n" + file + "\n"), -1);
    EXPECT_EQ(still.logText(), "ERROR! User-defined flight profile has no speed.\n");

    TestRun pause;
    test::writeFile(file, "3\n0 0 0 10 0 0\n0 0 0 0 0 0\n5 0 0 10 0 0\n");
    ASSERT_EQ(runFlightProfile(pause, "U F F F\n0 0 0\n" + file + "\n"), 0);
    EXPECT_CLOSE(pause.rd->meanTimeStep, 0.25, kRel, 0);
    EXPECT_CLOSE(pause.rd->speedRatio, 84.39 / (20.0 / 3.0), kRel, 0);
}

// ---- failures -------------------------------------------------------------

struct FailureCase {
    const char* lines;
    const char* log;
};

TEST(FlightProfileFailures, MessagesByteForByte) {
    const FailureCase cases[] = {
        {"A F F\n", "ERROR! FP command requires 4 inputs on line 1.\nLast line read:\n\tA F F\n"},
        {"A F F 0123456789abcdefg\n",
         "ERROR! FP command requires 4 inputs on line 1.\nLast line read:\n\tA F F "
         "0123456789abcdefg\n"},
        {"", "ERROR! FP command requires 4 inputs on line 1.\nLast line read:\n\t"},
        {"A yards F F\n", "ERROR! Unrecognized flight pattern distance units: yards.\n"},
        {"A F sps F\n", "ERROR! Unrecognized flight pattern velocity units: sps.\n"},
        {"A F F x\n", "ERROR! Invalid value for backcourse flag: x\n"},
        {"A F F F\n1 2\n", "ERROR! FP command requires 3 inputs on line 2.\nLast line read:\n\t1 2\n"},
        {"Z F F F\n0 0 0\n1 2 3\n", "ERROR! Unrecognized flight pattern code: Z\n"},
        {"A F F F\n0 0 0\n1 2 3 4 5 6\n",
         "ERROR! FP command requires 7 inputs on line 3.\nLast line read:\n\t1 2 3 4 5 6\n"},
        {"B F F F\n0 0 0\n1 2 3 4\n",
         "ERROR! FP command requires 5 inputs on line 3.\nLast line read:\n\t1 2 3 4\n"},
        {"C F F F\n0 0 0\n1 2 3 x 5\n",
         "ERROR! FP command requires 5 inputs on line 3.\nLast line read:\n\t1 2 3 x 5\n"},
        {"A F F F\n0 0 0\n1 2 3 4 5 6 7\nfast\n",
         "ERROR! FP command requires 1 inputs on line 4.\nLast line read:\n\tfast\n"},
        {"D F F F\n0 0 0\n0 90 10 100 0\n",
         "ERROR! FP command requires 1 inputs on line 4.\nLast line read:\n\t"},
    };
    for (const auto& c : cases) {
        TestRun t;
        EXPECT_EQ(runFlightProfile(t, c.lines), -1) << c.lines;
        EXPECT_EQ(t.logText(), c.log) << c.lines;
        EXPECT_FALSE(t.rd->pointTable.held) << c.lines;
    }
}

TEST(FlightProfileFailures, UndefinedFlightsFailWithAMessage) {
    const FailureCase cases[] = {
        {"A F F F\n0 0 0\n0 100 10 0 3 1000 0\n0\n", "ERROR! FP command speed on line 4 is zero.\n"},
        {"C F F F\n0 0 0\n0 90 10 100 0\n-0.0\n", "ERROR! FP command speed on line 4 is zero.\n"},
        {"A F F F\n0 0 0\n0 100 0 0 3 1000 0\n100\n", "ERROR! FP command step on line 3 is zero.\n"},
        {"A F F F\n0 0 0\n0 1e9 0.1 0 3 1000 0\n100\n",
         "ERROR! FP command line 3 gives too many flight profile points.\n"},
        {"A F F F\n0 0 0\n0 1e300 1e-300 0 3 1000 0\n100\n",
         "ERROR! FP command line 3 gives too many flight profile points.\n"},
        // A level run seen under an elevation of 0 starts infinitely far away.
        {"B F F F\n0 0 0\n0 3 100 0 1000\n100\n",
         "ERROR! FP command line 3 gives too many flight profile points.\n"},
        {"C N F F\n0 0 0\n0 90 10 1e305 0\n100\n",
         "ERROR! FP command gives flight profile point 1 no finite value.\n"},
    };
    for (const auto& c : cases) {
        TestRun t;
        EXPECT_EQ(runFlightProfile(t, c.lines), -1) << c.lines;
        EXPECT_EQ(t.logText(), c.log) << c.lines;
    }
    // The largest count that fits is accepted as far as the count goes: a
    // count one beyond it is refused before any table exists.
    TestRun edge;
    EXPECT_EQ(runFlightProfile(edge, "A F F F\n0 0 0\n0 2147483647 1 0 3 1000 0\n100\n"), -1);
    EXPECT_FALSE(edge.rd->pointTable.held);
}

TEST(FlightProfileFailures, ScratchFilesThatCannotBeWrittenFailTheCommand) {
    TestRun t;
    testControl().forceFileStorage = true;
    std::snprintf(t.rd->scratchDirectory, sizeof t.rd->scratchDirectory, "%smissing/",
                  t.scratch.c_str());
    EXPECT_EQ(runFlightProfile(t, "A F F F\n0 0 0\n0 100 10 0 3 1000 0\n100\n"), -1);
    EXPECT_EQ(t.logText(), "ERROR! Cannot write scratch file " + t.scratch + "missing/flight.tmp\n");
    releaseRunTables(*t.rd);
}

TEST(FlightProfileLifecycle, ASecondProfileReplacesTablesAndRunValues) {
    TestRun t;
    ASSERT_EQ(runFlightProfile(t, "C F F F\n0 0 0\n0 90 10 100 0\n10\n"), 0);
    EXPECT_EQ(t.rd->pointCount, 10);
    ASSERT_EQ(runFlightProfile(t, "A F F F\n0 0 0\n0 100 50 0 3 1000 0\n20\n"), 0);
    EXPECT_EQ(t.rd->pointCount, 3);
    EXPECT_EQ(t.rd->fieldTable.entries.size(), 3u);
    EXPECT_CLOSE(t.rd->speedRatio, 84.39 / 20.0, kRel, 0);
    EXPECT_EQ(tablePoints(*t.rd)[2].x, 100.0);
}

}  // namespace
}  // namespace ils
