// SP through the exports: a localizer, an orbit behind it and a plate; the
// message log and the FieldFile bytes, in either table storage.
#include <cmath>
#include <string>

#include "interface/run_data.h"
#include "support/test_support.h"

namespace ils {
namespace {

constexpr int32_t kFinished = 2;

std::string station() {
    std::string s =
        "SY\nL S N F\n110\n"
        "CO\n2 F M D\n0 0 0 0 0\n"
        "E01   0 -5 8 1 0 0.5 0\n"
        "E02   0 5 8 1 0 0.5 180\n"
        "19 0 M\n";
    for (int i = 0; i < 19; ++i) s += "1 ";
    // An orbit of 31 points 3000 ft out, behind the array (x < 0), at 150 kt.
    return s + "\nFP\nC F K F\n0 0 0\n150 210 2 3000 200\n150\n";
}

// A plate across the x axis 500 ft in front of the array, facing it.
const char* const kPlate = "SP\nm 0 0 1\n152.4 91.44 152.4 -91.44 0 12 5\n";

// The messages of the run, before the field run's table.
std::string messages(const std::string& log) {
    const size_t table = log.find("\nScattered Fields\n");
    EXPECT_NE(table, std::string::npos) << log;
    return log.substr(0, table);
}

size_t scattered(int i) { return 20 + 504 * static_cast<size_t>(i) + 24; }

TEST(PlateRun, PlateAddsFiniteMultipathAndMagnitudes) {
    const test::CalcResult r = test::runCommandFile(station() + kPlate + "EN\n");
    ASSERT_EQ(r.state, kFinished) << r.log;
    EXPECT_EQ(r.percent, 100);
    EXPECT_EQ(messages(r.log), "");
    ASSERT_EQ(r.fieldFile.size(), 20u + 504u * 31u);
    for (int i = 0; i < 31; ++i) {
        double v[30];
        for (int m = 0; m < 30; ++m) {
            v[m] = test::doubleAt(r.fieldFile, scattered(i) + 8 * m);
            ASSERT_TRUE(std::isfinite(v[m])) << i << " " << m;
        }
        EXPECT_NE(std::hypot(v[0], v[1]), 0.0) << i;
        // Slots 12..14 hold the magnitudes of slots 6..11.
        for (int m = 0; m < 6; ++m) {
            EXPECT_EQ(v[24 + m], std::hypot(v[12 + 2 * m], v[13 + 2 * m])) << i << " " << m;
        }
    }
}

TEST(PlateRun, FileStorageWritesTheSameFieldFile) {
    const std::string commands = station() + kPlate + "SP\nf 1 1 7\n0 -400 400 -400 0 30 -10\nEN\n";
    const test::CalcResult memory = test::runCommandFile(commands);
    testControl().forceFileStorage = true;
    const test::CalcResult file = test::runCommandFile(commands);
    testControl().forceFileStorage = false;
    ASSERT_EQ(memory.state, kFinished) << memory.log;
    ASSERT_EQ(file.state, kFinished) << file.log;
    EXPECT_EQ(file.log, memory.log);
    EXPECT_EQ(file.fieldFile.size(), memory.fieldFile.size());
    EXPECT_TRUE(file.fieldFile == memory.fieldFile);
    EXPECT_FALSE(test::fileExists(file.scratchDir + "fields.tmp"));
    EXPECT_FALSE(test::fileExists(file.scratchDir + "fields1.tmp"));
}

TEST(PlateRun, InvalidMaterialOnTheFirstPlateUsesMaterialZero) {
    const test::CalcResult bad = test::runCommandFile(
        station() + "SP\nm 0 0 15\n152.4 91.44 152.4 -91.44 0 12 5\nEN\n");
    const test::CalcResult zero = test::runCommandFile(
        station() + "SP\nm 0 0 0\n152.4 91.44 152.4 -91.44 0 12 5\nEN\n");
    ASSERT_EQ(bad.state, kFinished) << bad.log;
    EXPECT_EQ(messages(bad.log), "ERROR! Invalid scatterer material code: 15.\n");
    EXPECT_TRUE(bad.fieldFile == zero.fieldFile);
    EXPECT_NE(test::doubleAt(bad.fieldFile, scattered(0)), 0.0);
}

TEST(PlateRun, SkippedPlateIsNotNumberedAndBackFacingPlateWarns) {
    // The skipped plate's lines are never examined; the plate facing away
    // from the array is plate 1 and adds nothing.
    const test::CalcResult r = test::runCommandFile(
        station() + "SP\nX 2 0\nnot a plate\nSP\nm 0 0\n152.4 -91.44 152.4 91.44 0 12 0\nEN\n");
    ASSERT_EQ(r.state, kFinished) << r.log;
    EXPECT_EQ(messages(r.log),
              "WARNING! 100.0 % of reflective plate 1 is not facing\n"
              "the system.  Part or all of the field is not calculated.\n");
    for (int i = 0; i < 31; ++i) {
        for (int m = 0; m < 30; ++m) EXPECT_EQ(test::doubleAt(r.fieldFile, scattered(i) + 8 * m), 0.0);
    }
}

}  // namespace
}  // namespace ils
