// SY: codes, frequency types, capture weight, wavelengths and messages.
#include <string>

#include "input/lines.h"
#include "support/test_support.h"
#include "system/system_reader.h"

namespace ils {
namespace {

struct SyResult {
    int status;
    std::string log;
};

SyResult runSy(test::TestRun& t, const std::string& text) {
    t.setCommandText(text);
    const int status = readSystem(*t.rd);
    return {status, t.logText()};
}

TEST(SystemReader, TwoFrequencyLocalizerWavelengths) {
    test::TestRun t;
    const SyResult r = runSy(t, "L C A G\n109.9 8\n");
    ASSERT_EQ(r.status, 0);
    EXPECT_EQ(r.log, "");
    const RunData& rd = *t.rd;
    EXPECT_EQ(rd.system.systemType, 'L');
    EXPECT_EQ(rd.system.captureEffect, 1);
    EXPECT_EQ(rd.system.farFieldCode, 'A');
    EXPECT_EQ(rd.system.groundPlaneCode, 'G');
    EXPECT_EQ(rd.system.captureWeight, 1.0);  // h = 4 kHz
    // Course carrier f + s/2, clearance carrier f - s/2 (109.9e6 is exact).
    EXPECT_EQ(rd.arrays[0].wavelength, 983571056.4304461 / 109904000.0);
    EXPECT_EQ(rd.arrays[1].wavelength, 983571056.4304461 / 109896000.0);
    EXPECT_EQ(rd.system.carrierWavelength, 983571056.4304461 / 109900000.0);
    EXPECT_EQ(rd.arrays[0].waveNumber, 6.28318530718 / rd.arrays[0].wavelength);
    EXPECT_EQ(rd.arrays[1].waveNumber, 6.28318530718 / rd.arrays[1].wavelength);
    EXPECT_CLOSE(rd.arrays[0].wavelength, 8.9492, 1e-4, 0.0);  // about 2.7 m
}

TEST(SystemReader, CaptureWeightTable) {
    struct Case {
        const char* separation;
        double weight;
        double tolerance;
    };
    const Case cases[] = {
        {"0", 1.0, 0.0},        {"9.998", 1.0, 0.0},     // h below 5
        {"10", 1.0, 0.0},       {"-10", 1.0, 0.0},       // continuous at h = 5
        {"20", 0.75, 1e-15},    {"29.9", 0.5025, 1e-14},  // 1.25 - 0.05 h
        {"30", 0.5, 1e-15},     {"-30", 0.5, 1e-15},     // 0.7775 - 0.0185 h
        {"60", 0.2225, 1e-14},  {"83.98", 0.000685, 1e-14},
        {"84", 0.001, 0.0},     {"-200", 0.001, 0.0},
    };
    for (const Case& c : cases) {
        test::TestRun t;
        const SyResult r = runSy(t, std::string("l c n f\n110 ") + c.separation + "\n");
        ASSERT_EQ(r.status, 0) << c.separation;
        EXPECT_CLOSE(t.rd->system.captureWeight, c.weight, 0.0, c.tolerance) << c.separation;
    }
}

TEST(SystemReader, NegativeSeparationSwapsCarriers) {
    test::TestRun t;
    ASSERT_EQ(runSy(t, "L C A F\n110 -8\n").status, 0);
    // The course carrier is f + s/2 whatever the sign of s.
    EXPECT_EQ(t.rd->arrays[0].wavelength, 983571056.4304461 / 109996000.0);
    EXPECT_EQ(t.rd->arrays[1].wavelength, 983571056.4304461 / 110004000.0);
}

TEST(SystemReader, SingleFrequencyKeepsClearanceValues) {
    test::TestRun t;
    t.rd->arrays[1].wavelength = 7.0;
    t.rd->arrays[1].waveNumber = 3.0;
    t.rd->system.captureWeight = 0.25;
    // Lower-case codes; a second number on line 2 is ignored.
    const SyResult r = runSy(t, "g s n f\n329.15 99\n");
    ASSERT_EQ(r.status, 0);
    EXPECT_EQ(r.log, "");
    const RunData& rd = *t.rd;
    EXPECT_EQ(rd.system.systemType, 'G');
    EXPECT_EQ(rd.system.captureEffect, 0);
    EXPECT_EQ(rd.system.farFieldCode, 'N');
    EXPECT_EQ(rd.system.groundPlaneCode, 'F');
    EXPECT_EQ(rd.arrays[0].wavelength, 983571056.4304461 / (329.15 * 1000000.0));
    EXPECT_EQ(rd.system.carrierWavelength, rd.arrays[0].wavelength);
    EXPECT_EQ(rd.arrays[0].waveNumber, 6.28318530718 / rd.arrays[0].wavelength);
    EXPECT_EQ(rd.arrays[1].wavelength, 7.0);
    EXPECT_EQ(rd.arrays[1].waveNumber, 3.0);
    EXPECT_EQ(rd.system.captureWeight, 0.25);
}

TEST(SystemReader, WholeWordsCountByFirstCharacter) {
    test::TestRun t;
    ASSERT_EQ(runSy(t, "Localizer Capture Far Ground\r\n108.1 9\r\n").status, 0);
    EXPECT_EQ(t.rd->system.systemType, 'L');
    EXPECT_EQ(t.rd->system.captureEffect, 1);
    EXPECT_EQ(t.rd->system.farFieldCode, 'F');
    EXPECT_EQ(t.rd->system.groundPlaneCode, 'G');
}

TEST(SystemReader, CodeMessagesAndStatuses) {
    struct Case {
        const char* line1;
        int status;
        const char* message;
    };
    const Case cases[] = {
        {"q C A G\n", -1, "ERROR! Unknown system type: q\n"},
        {"L x A G\n", -1, "ERROR! Unknown ILS frequency type: X.\n"},
        {"L xyz A G\n", -1, "ERROR! Unknown ILS frequency type: Xyz.\n"},
        {"L C b G\n", 2, "ERROR! Unknown far-field code: b.\n"},
        {"L C A h\n", 1, "ERROR! Unknown ground plane code: h.\n"},
        // The first failing check in the order of the words wins.
        {"G z z z\n", -1, "ERROR! Unknown ILS frequency type: Z.\n"},
        {"G s z z\n", 2, "ERROR! Unknown far-field code: z.\n"},
    };
    for (const Case& c : cases) {
        test::TestRun t;
        const SyResult r = runSy(t, std::string(c.line1) + "110\n");
        EXPECT_EQ(r.status, c.status) << c.line1;
        EXPECT_EQ(r.log, c.message) << c.line1;
    }
}

TEST(SystemReader, MissingInputs) {
    struct Case {
        const char* text;
        const char* log;
    };
    const Case cases[] = {
        {"L C A\n110 8\n",
         "ERROR! SY command requires 4 inputs on line 1.\nLast line read:\n\tL C A\n"},
        // A word of 16 characters does not convert.
        {"L C A GroundPlaneImage\n110 8\n",
         "ERROR! SY command requires 4 inputs on line 1.\nLast line read:\n\tL C A "
         "GroundPlaneImage\n"},
        {"L C A G\n110\n", "ERROR! SY command requires 2 inputs on line 2.\nLast line read:\n\t110\n"},
        {"L S A G\nabc\n", "ERROR! SY command requires 1 inputs on line 2.\nLast line read:\n\tabc\n"},
        // The file ends: the reader sees an empty line.
        {"", "ERROR! SY command requires 4 inputs on line 1.\nLast line read:\n\t"},
        {"L S A G\n", "ERROR! SY command requires 1 inputs on line 2.\nLast line read:\n\t"},
    };
    for (const Case& c : cases) {
        test::TestRun t;
        const SyResult r = runSy(t, c.text);
        EXPECT_EQ(r.status, -1) << c.text;
        EXPECT_EQ(r.log, c.log) << c.text;
    }
}

TEST(SystemReader, CarrierAtOrBelowZeroIsRefused) {
    struct Case {
        const char* text;
        const char* log;
    };
    const Case cases[] = {
        {"L S A G\n0\n", "ERROR! Invalid course carrier frequency: 0.000000 MHz.\n"},
        {"L S A G\n-110\n", "ERROR! Invalid course carrier frequency: -110.000000 MHz.\n"},
        // The clearance carrier f - s/2 would be -0.5 MHz.
        {"L C A G\n0.5 2000\n", "ERROR! Invalid clearance carrier frequency: -0.500000 MHz.\n"},
        {"L C A G\n0.5 -2000\n", "ERROR! Invalid course carrier frequency: -0.500000 MHz.\n"},
    };
    for (const Case& c : cases) {
        test::TestRun t;
        t.rd->arrays[0].wavelength = 5.0;
        const SyResult r = runSy(t, c.text);
        EXPECT_EQ(r.status, -1) << c.text;
        EXPECT_EQ(r.log, c.log) << c.text;
        EXPECT_EQ(t.rd->arrays[0].wavelength, 5.0) << c.text;
    }
}

TEST(SystemReader, ReadsExactlyTwoLines) {
    test::TestRun t;
    ASSERT_EQ(runSy(t, "G S A F\n330\nCO\n").status, 0);
    char line[kLineSize];
    ASSERT_TRUE(readLine(t.rd->commandFile, line));
    EXPECT_STREQ(line, "CO\n");
}

}  // namespace
}  // namespace ils
