// SY, CO and CL through the exports: the readers consume exactly their own
// lines and the driver sees the next command.
#include <cmath>
#include <string>

#include "interface/types.h"

#include "support/test_support.h"

namespace ils {
namespace {

constexpr int32_t kStateFinished = 2;
constexpr int32_t kStateFailed = 3;

const char* const kSystem = "SY\nL C A G\n109.9 8\n";
const char* const kCourse =
    "CO\n"
    "4 M D D\n"
    "0 0 2 0 0\n"
    "E01   -3 0 0 0 0 -6 0\n"
    "E02   -1 0 0 0 0 0 180\n"
    "E03    1 0 0 0 0 0 0\n"
    "E04    3 0 0 0 0 -6 180\n"
    "F 0 D\n";

TEST(SystemEndToEnd, ReadersHandTheNextCommandToTheDriver) {
    const test::CalcResult r = test::runCommandFile(std::string("CM a station\n") + kSystem + kCourse + "EN\n");
    ASSERT_EQ(r.startCode, 0);
    EXPECT_EQ(r.state, kStateFailed);
    EXPECT_EQ(r.log, "ERROR! FP command must be input before EN command.\n");
}

TEST(SystemEndToEnd, ClearanceArrayWithTableAndCoefficients) {
    const std::string commands = std::string(kSystem) + kCourse +
                                 "CL\n"
                                 "2 W M D\n"
                                 "0 0 0 0 0\n"
                                 "C1    0 -0.5 1 1 0 1 0\n"
                                 "C2    0  0.5 1 1 0 1 180\n"
                                 "-5 0 dB\n"
                                 "0 20 40\n60 90\n"
                                 "0 -1 -3\n-10 -20\n"
                                 "  1 0 0 0\n"
                                 "1 0 0 0\n"
                                 "0 0 1 0\n"
                                 "EN\n";
    const test::CalcResult r = test::runCommandFile(commands);
    EXPECT_EQ(r.state, kStateFailed);
    EXPECT_EQ(r.log, "ERROR! FP command must be input before EN command.\n");
}

TEST(SystemEndToEnd, ReaderFailuresEndTheRun) {
    struct Case {
        std::string commands;
        std::string log;
    };
    const Case cases[] = {
        {"SY\nL C A X\n110 8\nEN\n", "ERROR! Unknown ground plane code: X.\n"},
        {"SY\nL S A G\n110\nCL\n", "ERROR! CL command encountered in self-clearing array.\n"},
        {std::string(kSystem) + "CO\n0 F M D\n0 0 0 0\n", "ERROR! 0 is too few array elements.\n"},
        {std::string(kSystem) + "CO\n1 F M D\n0 0 0 0\nE1\nEN\n",
         "ERROR! CO command requires 7 inputs on line 3.\nLast line read:\n\tE1\n"},
        // The line after the block is handed back even when it is blank.
        {std::string(kSystem) + kCourse + "\nEN\n", "ERROR! Unknown instruction code: .\n"},
        // The file ends after the pattern block: the driver reports the missing EN.
        {std::string(kSystem) + kCourse, "ERROR! Command file ends before EN command.\n"},
    };
    for (const Case& c : cases) {
        const test::CalcResult r = test::runCommandFile(c.commands);
        EXPECT_EQ(r.state, kStateFailed) << c.commands;
        EXPECT_EQ(r.log, c.log) << c.commands;
    }
}

TEST(SystemEndToEnd, FullRunFinishes) {
    const std::string commands = std::string(kSystem) + kCourse +
                                 "FP\n"
                                 "C F F F\n"
                                 "0 0 0\n"
                                 "0 10 5 1000 100\n"
                                 "200\n"
                                 "EN\n";
    const test::CalcResult r = test::runCommandFile(commands);
    if (r.log.find("is not available in this build") != std::string::npos) {
        GTEST_SKIP() << "flight profile or field run not built yet: " << r.log;
    }
    EXPECT_EQ(r.state, kStateFinished) << r.log;
    EXPECT_EQ(r.percent, 100);
    EXPECT_EQ(r.log.find("ERROR!"), std::string::npos) << r.log;
    ASSERT_EQ(r.fieldFile.size(), 20u + 504u * 3u);
    EXPECT_EQ(test::int32At(r.fieldFile, 0), 3);

    // First point (1000, 0, 100) on the array's axis: pattern F gives 1 for
    // the point and its ground image. Elements at -3, -1, 1, 3 metres, 2 ft
    // up; course carrier 109.904 MHz; SBO feeds turned a quarter ahead.
    const double k = 6.28318530718 / (983571056.4304461 / 109904000.0);
    const double xs[] = {-3.0, -1.0, 1.0, 3.0};
    const Complex sboFeed[] = {std::pow(10.0, -0.3), -1.0, 1.0, -std::pow(10.0, -0.3)};
    Complex csb(0.0, 0.0), sbo(0.0, 0.0);
    for (int i = 0; i < 4; ++i) {
        const double dx = 1000.0 - xs[i] * kFeetPerMetre;
        for (const double z : {100.0, -100.0}) {
            const double rr = std::sqrt(dx * dx + (z - 2.0) * (z - 2.0));
            const Complex path = (z > 0 ? 1.0 : -1.0) * std::exp(Complex(0.0, k * rr)) / rr;
            csb += path;
            sbo += sboFeed[i] * Complex(0.0, 1.0) * path;
        }
    }
    const size_t direct = 20 + 264;
    EXPECT_CLOSE(test::doubleAt(r.fieldFile, direct), csb.real(), 1e-9, 1e-12);
    EXPECT_CLOSE(test::doubleAt(r.fieldFile, direct + 8), csb.imag(), 1e-9, 1e-12);
    EXPECT_CLOSE(test::doubleAt(r.fieldFile, direct + 3 * 16), (csb + sbo).real(), 1e-9, 1e-12);
    EXPECT_CLOSE(test::doubleAt(r.fieldFile, direct + 3 * 16 + 8), (csb + sbo).imag(), 1e-9, 1e-12);
}

}  // namespace
}  // namespace ils
