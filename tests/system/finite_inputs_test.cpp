// Numbers that convert but overflow once scaled: every reader refuses them
// with a message naming the command and its line, and the run fails instead
// of finishing with infinities or NaNs in the FieldFile.
#include <string>
#include <vector>

#include "support/test_support.h"

namespace ils {
namespace {

constexpr int32_t kStateFailed = 3;
constexpr int32_t kStateFinished = 2;

const char* const kSystem = "SY\nL S A G\n110.1\n";
const char* const kCourse =
    "CO\n2 F M D\n0 0 10 0 0\n"
    "E01   0 -5 0 1 0 1 180\n"
    "E02   0  5 0 1 0 1 0\n"
    "F 0 D\n";
const char* const kOrbit = "FP\nC F K F\n0 0 0\n-10 10 10 6000 500\n120\n";

struct Case {
    const char* name;
    std::string commands;
    std::string message;
};

std::string station() { return std::string(kSystem) + kCourse + kOrbit; }

TEST(FiniteInputs, OverflowingDerivedValuesAreRefused) {
    const std::string motion = test::makeTempDir("finite") + "far.mot";
    // The leg's length overflows although each waypoint converts.
    test::writeFile(motion, "0\n2\n0 0 0 0 10\n1e200 1e200 0 0 0\n");
    const std::vector<Case> cases = {
        {"carrier overflows in hertz", "SY\nL S A G\n1e303\n" + std::string(kCourse) + kOrbit + "EN\n",
         "ERROR! SY command line 2 gives a value that is not finite.\n"},
        {"two-frequency carrier overflows",
         "SY\nL C A G\n1e303 8\n" + std::string(kCourse) + kOrbit + "EN\n",
         "ERROR! SY command line 2 gives a value that is not finite.\n"},
        {"wavelength overflows", "SY\nL S A G\n1e-316\n" + std::string(kCourse) + kOrbit + "EN\n",
         "ERROR! SY command line 2 gives a value that is not finite.\n"},
        {"element in metres overflows",
         std::string(kSystem) + "CO\n1 M M D\n0 0 10 0 0\nE01   1e308 0 0 1 0 1 0\nF 0 D\n" +
             kOrbit + "EN\n",
         "ERROR! CO command line 3 gives a value that is not finite.\n"},
        {"amplitude in decibels overflows",
         std::string(kSystem) + "CO\n2 F D D\n0 0 10 0 0\nE01   0 -5 0 0 0 0 0\n"
                                "E02   0 5 0 1e308 0 0 0\nF 0 D\n" + kOrbit + "EN\n",
         "ERROR! CO command line 4 gives a value that is not finite.\n"},
        {"array length overflows the far-field distance",
         std::string(kSystem) + "CO\n2 F M D\n0 0 10 0 0\nE01   0 -1e200 0 1 0 1 0\n"
                                "E02   0 1e200 0 1 0 1 0\nF 0 D\n" + kOrbit + "EN\n",
         "ERROR! CO command line 4 gives a value that is not finite.\n"},
        {"pattern value in decibels overflows",
         std::string(kSystem) + "CO\n1 F M D\n0 0 10 0 0\nE01   0 0 0 1 0 1 0\n-3 0 D\n0 45 90\n"
                                "0 1e308 0\n" + kOrbit + "EN\n",
         "ERROR! CO command line 6 gives a value that is not finite.\n"},
        {"plate in metres overflows",
         station() + "SP\nM 0 0\n1e308 0 1e308 10 0 10 0\nEN\n",
         "ERROR! SP command line 2 gives a value that is not finite.\n"},
        {"plate width overflows",
         station() + "SP\nF 0 0\n-1e308 0 1e308 0 0 10 0\nEN\n",
         "ERROR! SP command line 2 gives a value that is not finite.\n"},
        {"wire in wavelengths overflows",
         station() + "SW\nW 0 0\n0 0 0 0 0 1e308 0.01\nEN\n",
         "ERROR! SW command line 2 gives a value that is not finite.\n"},
        {"motion leg overflows",
         station() + "SG 1   " + motion + "\nSP\nF 0 0\n300 -20 300 20 0 20 0\nEN\n",
         "ERROR! SG command motion file line 4 gives a value that is not finite.\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const test::CalcResult r = test::runCommandFile(c.commands);
        ASSERT_EQ(r.startCode, 0);
        EXPECT_EQ(r.state, kStateFailed);
        EXPECT_EQ(test::messages(r.log), c.message);
        EXPECT_EQ(r.fieldFile, "");  // nothing written, no NaN
    }
}

// Large but finite inputs still run: the refusal is of overflow only.
TEST(FiniteInputs, LargeFiniteValuesStillRun) {
    const test::CalcResult r = test::runCommandFile(
        std::string(kSystem) + "CO\n2 M D D\n0 0 10 0 0\nE01   0 -1e5 0 300 0 0 0\n"
                               "E02   0 1e5 0 0 0 -300 0\nF 0 D\n" + kOrbit + "EN\n");
    EXPECT_EQ(r.state, kStateFinished) << r.log;
    EXPECT_EQ(r.fieldFile.size(), 20u + 504u * 3);
}

}  // namespace
}  // namespace ils
