// SG commands through the exports: moving plates after SG 1, fixed plates
// again after SG 0, and the motion file's messages.
#include <string>

#include "support/test_support.h"

namespace ils {
namespace {

constexpr int32_t kStateFinished = 2;
constexpr int32_t kStateFailed = 3;

using test::messages;


const std::string kStation =
    "SY\nL C A G\n109.9 8\n"
    "CO\n4 M D D\n0 0 2 0 0\n"
    "E01   -3 0 0 0 0 -6 0\nE02   -1 0 0 0 0 0 180\n"
    "E03    1 0 0 0 0 0 0\nE04    3 0 0 0 0 -6 180\n"
    "F 0 D\n"
    "FP\nC F F F\n0 0 0\n-10 10 4 3000 150\n200\n";

// A plate beside the runway facing the station, and the same plate turned
// away from it (ends swapped), computed on both sides.
const std::string kFacing = "SP\nf 0 0\n500 300 1500 300 0 40 0\n";
const std::string kTurnedAway = "SP\nf 0 1\n1500 300 500 300 0 40 0\n";

TEST(MovingEndToEnd, PlateAtRestMatchesTheFixedPlate) {
    const std::string dir = test::makeTempDir("sg");
    test::writeFile(dir + "rest.mot", "1\nparked\n1\n0 0 0 0 0\n");
    const auto fixed = test::runCommandFile(kStation + kFacing + "EN\n");
    // The path starts in column 8 whatever the flag's width.
    const auto moving =
        test::runCommandFile(kStation + "SG 1   " + dir + "rest.mot  \n" + kFacing + "EN\n", "t", dir);
    EXPECT_EQ(fixed.state, kStateFinished) << fixed.log;
    EXPECT_EQ(moving.state, kStateFinished) << moving.log;
    EXPECT_EQ(messages(moving.log), "");
    EXPECT_NE(moving.log.find("Scattered Fields"), std::string::npos);
    ASSERT_EQ(moving.fieldFile.size(), 20u + 504u * 6u);
    EXPECT_EQ(moving.fieldFile, fixed.fieldFile);
    EXPECT_FALSE(test::fileExists(moving.scratchDir + "dynscat.tmp"));
}

TEST(MovingEndToEnd, SgZeroMakesLaterPlatesFixedAgain) {
    const std::string dir = test::makeTempDir("sg");
    test::writeFile(dir + "taxi.mot", "0\n2\n0 0 0 0 20\n-200 0 0 0 0\n");
    const auto r = test::runCommandFile(
        kStation + "SG 1   " + dir + "taxi.mot\n" + kTurnedAway + "SG 0\n" + kTurnedAway + "EN\n",
        "t", dir);
    EXPECT_EQ(r.state, kStateFinished);
    EXPECT_EQ(messages(r.log),
              "WARNING! Reflective plate 1 is not facing the system 100.0 %\n"
              "of the time.  Part or all of the field is not calculated.\n"
              "WARNING! 100.0 % of reflective plate 2 is not facing\n"
              "the system.  Part or all of the field is not calculated.\n");
}

TEST(MovingEndToEnd, MissingMotionFileFailsTheRun) {
    const std::string dir = test::makeTempDir("sg");
    const auto r = test::runCommandFile(kStation + "SG 1   " + dir + "none.mot\n" + kFacing + "EN\n",
                                        "t", dir);
    EXPECT_EQ(r.state, kStateFailed);
    EXPECT_EQ(r.log, "ERROR! Could not open file " + dir + "none.mot\n");
}

}  // namespace
}  // namespace ils
