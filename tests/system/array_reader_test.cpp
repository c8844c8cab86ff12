// CO/CL: units, rotation, labels, feed conversions, random errors, centroid,
// far-field distance, hand-back of the next line and the coefficient block.
#include <cmath>
#include <string>

#include "input/lines.h"
#include "path/direct_field.h"
#include "platform/platform.h"
#include "support/test_support.h"
#include "system/array_reader.h"
#include "system/system_reader.h"

namespace ils {
namespace {

constexpr double kRound = 1e-12;  // "up to rounding" for values of order 1

// A run with a system already defined: wavelength 10 ft for the course
// array, 12 ft for the clearance array, carrier wavelength 11 ft.
struct ArrayRun {
    test::TestRun t;
    RunData& rd = *t.rd;
    explicit ArrayRun(char systemType = 'G') {
        rd.system.systemType = systemType;
        rd.system.captureEffect = 1;
        rd.system.carrierWavelength = 11.0;
        rd.arrays[0].wavelength = 10.0;
        rd.arrays[0].waveNumber = kTwoPi / 10.0;
        rd.arrays[1].wavelength = 12.0;
        rd.arrays[1].waveNumber = kTwoPi / 12.0;
    }
    int read(const std::string& text, const char* command = "CO", int index = 0) {
        t.setCommandText(text);
        return readArray(rd, command, index);
    }
    std::string log() const { return t.logText(); }
    std::string nextLine() {
        char line[kLineSize];
        readLine(rd.commandFile, line);
        return line;
    }
};

std::string elementLines(int n) {
    std::string s;
    for (int i = 0; i < n; ++i) s += "E" + std::to_string(i) + "    " + std::to_string(i) + " 0 0 1 0 1 0\n";
    return s;
}

TEST(ArrayReader, LabelledElementAtReferencePoint) {
    for (const char type : {'G', 'L'}) {
        ArrayRun r(type);
        ASSERT_EQ(r.read("1 F M D\n100 -20 3 0 0\nE01   0 0 0 1 0 1 0\nD 0 D\nEN\n"), 0);
        EXPECT_EQ(r.log(), "");
        const AntennaArray& a = r.rd.arrays[0];
        EXPECT_EQ(a.elementCount, 1);
        EXPECT_EQ(a.originX, 100.0);
        EXPECT_EQ(a.originY, -20.0);
        EXPECT_EQ(a.elementX[0], 100.0);
        EXPECT_EQ(a.elementY[0], -20.0);
        EXPECT_EQ(a.elementZ[0], 3.0);
        EXPECT_EQ(a.centroidX, 100.0);
        EXPECT_EQ(a.centroidY, -20.0);
        EXPECT_EQ(a.centroidZ, 3.0);
        EXPECT_EQ(a.csbCurrent[0], Complex(1.0, 0.0));
        if (type == 'G') {
            EXPECT_EQ(a.sboCurrent[0], Complex(1.0, 0.0));
        } else {  // the localizer's sidebands are turned a quarter ahead
            EXPECT_CLOSE(a.sboCurrent[0].real(), 0.0, 0.0, kRound);
            EXPECT_CLOSE(a.sboCurrent[0].imag(), 1.0, 0.0, kRound);
        }
        EXPECT_EQ(r.nextLine(), "EN\n");  // left for the driver
    }
}

TEST(ArrayReader, LabelColumnsAreNotRead) {
    ArrayRun r;
    // Digits in the label columns would shift every value if they were read.
    ASSERT_EQ(r.read("2 F M D\n0 0 0 0\n123456 5 6 7 2 0 3 0\n\t\t\t\t\t\t1 1 1 1 0 1 0\nD 0 D\n"), 0);
    const AntennaArray& a = r.rd.arrays[0];
    EXPECT_EQ(a.elementX[0], 5.0);
    EXPECT_EQ(a.elementY[0], 6.0);
    EXPECT_EQ(a.elementZ[0], 7.0);
    EXPECT_EQ(a.csbCurrent[0], Complex(2.0, 0.0));
    EXPECT_EQ(a.sboCurrent[0], Complex(3.0, 0.0));
    EXPECT_EQ(a.elementX[1], 1.0);
    EXPECT_EQ(a.centroidX, 3.0);
    EXPECT_EQ(a.centroidY, 3.5);
    EXPECT_EQ(a.centroidZ, 4.0);
}

TEST(ArrayReader, ElementCountLimits) {
    {
        ArrayRun r;
        ASSERT_EQ(r.read("79 F M D\n0 0 0 0\n" + elementLines(79) + "D 0 D\n"), 0);
        EXPECT_EQ(r.rd.arrays[0].elementCount, 79);
        EXPECT_EQ(r.rd.arrays[0].elementX[78], 78.0);
        EXPECT_EQ(r.rd.arrays[0].centroidX, 39.0);
    }
    struct Case {
        const char* count;
        const char* message;
    };
    const Case cases[] = {
        {"80", "ERROR! 80 is too many array elements.  Limit: 80\n"},
        {"1000", "ERROR! 1000 is too many array elements.  Limit: 80\n"},
        {"0", "ERROR! 0 is too few array elements.\n"},
        {"-3", "ERROR! -3 is too few array elements.\n"},
    };
    for (const Case& c : cases) {
        ArrayRun r;
        r.rd.arrays[0].elementCount = 4;
        EXPECT_EQ(r.read(std::string(c.count) + " F M D\n0 0 0 0\n" + elementLines(2) + "D 0 D\n"), -1);
        EXPECT_EQ(r.log(), c.message);
        EXPECT_EQ(r.rd.arrays[0].elementCount, 4);
    }
}

TEST(ArrayReader, SpacingUnits) {
    struct Case {
        const char* units;
        double u;
    };
    const Case cases[] = {
        {"F", 1.0},
        {"metres", 3.280839895013123},
        // Wavelengths are carrier wavelengths, for either array.
        {"w", 11.0},
    };
    for (const Case& c : cases) {
        for (int index = 0; index < 2; ++index) {
            ArrayRun r;
            const char* word = index == 0 ? "CO" : "CL";
            // Origin and reference height are feet whatever the units.
            ASSERT_EQ(r.read(std::string("1 ") + c.units + " M D\n100 0 4 0\nE1    2 0 1 1 0 1 0\nD 0 D\n",
                             word, index),
                      0);
            EXPECT_EQ(r.rd.arrays[index].elementX[0], 2.0 * c.u + 100.0) << c.units;
            EXPECT_EQ(r.rd.arrays[index].elementZ[0], c.u + 4.0) << c.units;
            EXPECT_EQ(r.rd.arrays[1 - index].elementCount, 0);
        }
    }
}

TEST(ArrayReader, AmplitudeAndPhaseConversions) {
    ArrayRun r;
    ASSERT_EQ(r.read("2 F D R\n0 0 0 0\n"
                     "E1    0 0 0 0 3.14159265359 -6 0\n"
                     "E2    1 0 0 -20 0 20 1.570796326795\n"
                     "D 0 D\n"),
              0);
    const AntennaArray& a = r.rd.arrays[0];
    // 0 dB is 1; -6 dB is 10^(-0.3); pi radians is 180 degrees.
    EXPECT_CLOSE(a.csbCurrent[0].real(), -1.0, 0.0, kRound);
    EXPECT_CLOSE(a.csbCurrent[0].imag(), 0.0, 0.0, kRound);
    EXPECT_EQ(a.sboCurrent[0], Complex(std::pow(10.0, -0.3), 0.0));
    EXPECT_CLOSE(std::abs(a.csbCurrent[1]), 0.1, kRound, 0.0);
    EXPECT_EQ(a.csbCurrent[1], Complex(std::pow(10.0, -1.0), 0.0));
    EXPECT_CLOSE(a.sboCurrent[1].real(), 0.0, 0.0, 10.0 * kRound);
    EXPECT_CLOSE(a.sboCurrent[1].imag(), 10.0, kRound, 0.0);
}

TEST(ArrayReader, DegreePhasesAndLinearAmplitudes) {
    ArrayRun r('L');
    ASSERT_EQ(r.read("1 F M D\n0 0 0 0\nE1    0 0 0 2 90 0.5 -90\nD 0 D\n"), 0);
    const AntennaArray& a = r.rd.arrays[0];
    EXPECT_CLOSE(a.csbCurrent[0].real(), 0.0, 0.0, kRound);
    EXPECT_CLOSE(a.csbCurrent[0].imag(), 2.0, kRound, 0.0);
    // -90 degrees turned a quarter ahead for the localizer: 0 degrees.
    EXPECT_CLOSE(a.sboCurrent[0].real(), 0.5, kRound, 0.0);
    EXPECT_CLOSE(a.sboCurrent[0].imag(), 0.0, 0.0, kRound);
}

TEST(ArrayReader, RotationTurnsAboutTheReferencePoint) {
    ArrayRun r;
    ASSERT_EQ(r.read("2 M M D\n10 20 0 90\nE1    1 0 0 1 0 1 0\nE2    0 1 0 1 0 1 0\nD 30 D\n"), 0);
    const AntennaArray& a = r.rd.arrays[0];
    // (1, 0) -> (0, 1) and (0, 1) -> (-1, 0), then scaled by metres.
    EXPECT_CLOSE(a.elementX[0], 10.0, kRound, 0.0);
    EXPECT_CLOSE(a.elementY[0], 20.0 + kFeetPerMetre, kRound, 0.0);
    EXPECT_CLOSE(a.elementX[1], 10.0 - kFeetPerMetre, kRound, 0.0);
    EXPECT_CLOSE(a.elementY[1], 20.0, kRound, 0.0);
    // The pattern axis turns with the array.
    EXPECT_EQ(a.pattern.patternAxis, 30.0 * kDegToRad + 90.0 * kDegToRad);
}

TEST(ArrayReader, FarFieldDistanceOnlyGrows) {
    ArrayRun r;
    // Two elements 100 feet apart at a 10-foot wavelength: 2 D^2 / wavelength.
    ASSERT_EQ(r.read("3 F M D\n0 0 0 0\nA     0 0 0 1 0 1 0\nB     30 0 0 1 0 1 0\nC     60 80 0 1 0 1 0\nD 0 D\n"), 0);
    EXPECT_CLOSE(r.rd.farFieldDistance, 2000.0, 1e-12, 0.0);
    EXPECT_EQ(r.rd.farFieldDistance, 100.0 * 100.0 * (kTwoPi / 10.0) / 3.14159265359);
    // A shorter array does not lower it; the clearance wavelength is used for CL.
    ASSERT_EQ(r.read("2 F M D\n0 0 0 0\nA     0 0 0 1 0 1 0\nB     0 0 10 1 0 1 0\nD 0 D\n"), 0);
    EXPECT_CLOSE(r.rd.farFieldDistance, 2000.0, 1e-12, 0.0);
    ASSERT_EQ(r.read("2 F M D\n0 0 0 0\nA     0 0 0 1 0 1 0\nB     0 120 0 1 0 1 0\nD 0 D\n", "CL", 1), 0);
    EXPECT_CLOSE(r.rd.farFieldDistance, 2.0 * 120.0 * 120.0 / 12.0, 1e-12, 0.0);
}

TEST(ArrayReader, MissingInputsNameTheLine) {
    struct Case {
        const char* text;
        const char* log;
    };
    const Case cases[] = {
        {"2 F M\n", "ERROR! CL command requires 4 inputs on line 1.\nLast line read:\n\t2 F M\n"},
        {"2 F M D\n0 0 0\n", "ERROR! CL command requires 4 inputs on line 2.\nLast line read:\n\t0 0 0\n"},
        {"3 F M D\n0 0 0 0\nE1    0 0 0 1 0 1 0\nE2    0 0 0 1 0 1 0\nE3    0 0 0 1 0 1\n",
         "ERROR! CL command requires 7 inputs on line 5.\nLast line read:\n\tE3    0 0 0 1 0 1\n"},
        // Six characters or fewer: only a label, no values.
        {"1 F M D\n0 0 0 0\nE01\n", "ERROR! CL command requires 7 inputs on line 3.\nLast line read:\n\tE01\n"},
        {"1 F M D\n0 0 0 0\n123456\n",
         "ERROR! CL command requires 7 inputs on line 3.\nLast line read:\n\t123456\n"},
        {"1 F M D\n0 0 0 0\n", "ERROR! CL command requires 7 inputs on line 3.\nLast line read:\n\t"},
        // A word of 16 characters does not convert.
        {"1 Feet M DegreesOfArcAngle\n", "ERROR! CL command requires 4 inputs on line 1.\nLast line read:\n\t1 "
                                         "Feet M DegreesOfArcAngle\n"},
    };
    for (const Case& c : cases) {
        ArrayRun r;
        EXPECT_EQ(r.read(c.text, "CL", 1), -1) << c.text;
        EXPECT_EQ(r.log(), c.log) << c.text;
        EXPECT_EQ(r.rd.arrays[1].elementCount, 0);
    }
}

TEST(ArrayReader, UnitCodeAndFlagMessages) {
    struct Case {
        const char* text;
        const char* log;
    };
    const Case cases[] = {
        {"1 yards M D\n", "ERROR! Unknown antenna spacing units code: yards.\n"},
        {"1 F volts D\n", "ERROR! Unknown antenna amplitude units code: volts\n"},
        {"1 F M grad\n", "ERROR! Unknown antenna phase units code: grad\n"},
        {"1 F M D\n0 0 0 0 2\n", "ERROR! Invalid random DU error flag: 2\n"},
        {"1 F M D\n0 0 0 0 -1\n", "ERROR! Invalid random DU error flag: -1\n"},
    };
    for (const Case& c : cases) {
        ArrayRun r;
        EXPECT_EQ(r.read(std::string(c.text) + "E1    0 0 0 1 0 1 0\nD 0 D\n"), -1) << c.text;
        EXPECT_EQ(r.log(), c.log) << c.text;
    }
}

TEST(ArrayReader, RandomFeedErrorsFollowTheGenerator) {
    const std::string text = "2 F M D\n0 0 0 0 1\nE1    0 0 0 2 10 4 -20\nE2    1 0 0 1 0 1 0\nD 0 D\n";
    // The generator is seeded from the clock; retry if the second changes
    // during the read so that the seed is known.
    for (int attempt = 0; attempt < 5; ++attempt) {
        ArrayRun r;
        const uint32_t before = platform::currentTimeSeconds();
        ASSERT_EQ(r.read(text), 0);
        const uint32_t after = platform::currentTimeSeconds();
        if (before != after) continue;
        RunData reference;
        seedRandom(reference, before);
        double g[8];
        for (double& v : g) v = gaussianRandom(reference);
        const AntennaArray& a = r.rd.arrays[0];
        const Complex csb0 = (2.0 + g[0] * 2.0 / 100.0) * unitPhasor((10.0 + g[2]) * kDegToRad);
        const Complex sbo0 = (4.0 + g[1] * 4.0 / 100.0) * unitPhasor((-20.0 + g[3]) * kDegToRad);
        const Complex csb1 = (1.0 + g[4] / 100.0) * unitPhasor(g[6] * kDegToRad);
        const Complex sbo1 = (1.0 + g[5] / 100.0) * unitPhasor(g[7] * kDegToRad);
        EXPECT_EQ(a.csbCurrent[0], csb0);
        EXPECT_EQ(a.sboCurrent[0], sbo0);
        EXPECT_EQ(a.csbCurrent[1], csb1);
        EXPECT_EQ(a.sboCurrent[1], sbo1);
        // The errors are about 1 percent and 1 degree: the currents moved, a little.
        EXPECT_NE(a.csbCurrent[0], 2.0 * unitPhasor(10.0 * kDegToRad));
        EXPECT_CLOSE(std::abs(a.csbCurrent[0]), 2.0, 0.06, 0.0);
        EXPECT_EQ(r.rd.randomState, reference.randomState);
        return;
    }
    FAIL() << "clock kept changing during the read";
}

TEST(ArrayReader, MissingFlagMeansNoRandomErrors) {
    ArrayRun r;
    r.rd.randomState = 12345;
    ASSERT_EQ(r.read("1 F M D\n0 0 0 0\nE1    0 0 0 2 0 3 0\nD 0 D\n"), 0);
    EXPECT_EQ(r.rd.arrays[0].csbCurrent[0], Complex(2.0, 0.0));
    EXPECT_EQ(r.rd.arrays[0].sboCurrent[0], Complex(3.0, 0.0));
    EXPECT_EQ(r.rd.randomState, 12345u);
}

TEST(ArrayReader, PatternFailureKeepsPreviousCount) {
    ArrayRun r;
    ASSERT_EQ(r.read("2 F M D\n0 0 0 0\n" + elementLines(2) + "F 0 D\n"), 0);
    ASSERT_EQ(r.rd.arrays[0].elementCount, 2);
    EXPECT_EQ(r.read("3 F M D\n0 0 0 0\n" + elementLines(3) + "X1 0 D\n"), -1);
    EXPECT_EQ(r.log(), "ERROR! Unrecognized antenna code: X1\n");
    EXPECT_EQ(r.rd.arrays[0].elementCount, 2);
    EXPECT_EQ(r.rd.arrays[0].pattern.patternType, 'F');
    // The pattern block is line n + 3 of the command.
    ArrayRun q;
    EXPECT_EQ(q.read("3 F M D\n0 0 0 0\n" + elementLines(3) + "F\n"), -1);
    EXPECT_EQ(q.log(), "ERROR! CO command requires 2 inputs on line 6.\nLast line read:\n\tF\n");
}

TEST(ArrayReader, EndOfFileAfterPatternIsSuccess) {
    ArrayRun r;
    ASSERT_EQ(r.read("1 F M D\n0 0 0 0\nE1    0 0 0 1 0 1 0\nG 0 D"), 0);
    EXPECT_EQ(r.rd.arrays[0].elementCount, 1);
    EXPECT_EQ(r.rd.arrays[0].pattern.patternType, 'G');
    EXPECT_EQ(r.nextLine(), "");
}

TEST(ArrayReader, NextCommandLineIsPutBack) {
    // Also a blank line and a table pattern spanning lines.
    ArrayRun r;
    ASSERT_EQ(r.read("1 F M D\n0 0 0 0\nE1    0 0 0 1 0 1 0\n-3 0 M\n0\n45 90\n1 0.5\n0.25 \nFP\r\nrest\n"), 0);
    EXPECT_EQ(r.rd.arrays[0].pattern.patternPointCount, 7);
    EXPECT_EQ(r.nextLine(), "FP\r\n");
    EXPECT_EQ(r.nextLine(), "rest\n");
    ArrayRun b;
    ASSERT_EQ(b.read("1 F M D\n0 0 0 0\nE1    0 0 0 1 0 1 0\nD 0 D\n\nEN\n"), 0);
    EXPECT_EQ(b.nextLine(), "\n");
}

TEST(ArrayReader, CoefficientBlock) {
    ArrayRun r;
    ASSERT_EQ(r.read("2 F M D\n0 0 0 0\n" + elementLines(2) +
                         "D 0 D\n"
                         "\t1 1 1 -1\n"          // A + B = 2
                         "2 4 6 8\n"
                         "-2 0 1 1 99 99\n"      // numbers after the 2n-th are ignored
                         "EN\n"),
              0);
    const auto& m = r.rd.arrays[0].elementMatrix;
    ASSERT_EQ(m.size(), 2u);
    ASSERT_EQ(m[0].size(), 2u);
    EXPECT_EQ(m[0][0], Complex(1.0, 2.0));
    EXPECT_EQ(m[0][1], Complex(3.0, 4.0));
    EXPECT_EQ(m[1][0], Complex(-1.0, 0.0));
    EXPECT_EQ(m[1][1], Complex(0.5, 0.5));
    EXPECT_EQ(r.nextLine(), "EN\n");

    // Complex division; a missing number (and every one after it) is 0.
    ArrayRun q;
    ASSERT_EQ(q.read("2 F M D\n0 0 0 0\n" + elementLines(2) + "D 0 D\n 0 1 0 0\n1 0 0 2\n4 x 5 6\n"), 0);
    const auto& n = q.rd.arrays[0].elementMatrix;
    ASSERT_EQ(n.size(), 2u);
    EXPECT_EQ(n[0][0], Complex(0.0, -1.0));  // 1 / j
    EXPECT_EQ(n[0][1], Complex(2.0, 0.0));   // 2j / j
    EXPECT_EQ(n[1][0], Complex(0.0, -4.0));
    EXPECT_EQ(n[1][1], Complex(0.0, 0.0));

    // A smaller array replaces the table.
    ASSERT_EQ(q.read("1 F M D\n0 0 0 0\n" + elementLines(1) + "D 0 D\n 2 0 0 0\n4 6\n"), 0);
    ASSERT_EQ(n.size(), 1u);
    ASSERT_EQ(n[0].size(), 1u);
    EXPECT_EQ(n[0][0], Complex(2.0, 3.0));
}

TEST(ArrayReader, CoefficientOpeningLineNamesItsLine) {
    // Code pattern: elements on lines 3-4, pattern on 5, block opens on 6.
    ArrayRun r;
    EXPECT_EQ(r.read("2 F M D\n0 0 0 0\n" + elementLines(2) + "D 0 D\n 1 0 1\n"), -1);
    EXPECT_EQ(r.log(), "ERROR! CO command requires 4 inputs on line 6.\nLast line read:\n\t 1 0 1\n");
    EXPECT_EQ(r.rd.arrays[0].elementCount, 2);
    // Table pattern over four lines (5..8): the block opens on line 9.
    ArrayRun q;
    EXPECT_EQ(q.read("2 F M D\n0 0 0 0\n" + elementLines(2) + "-2 0 D\n0\n90\n0 -3\n\tx\n", "CL", 1), -1);
    EXPECT_EQ(q.log(), "ERROR! CL command requires 4 inputs on line 9.\nLast line read:\n\t\tx\n");
}

// The direct field of a read array matches a sum over its elements: the
// readers' positions, currents and pattern feed the field computation.
TEST(ArrayReader, DirectFieldOfReadArray) {
    test::TestRun t;
    t.setCommandText("G S N F\n331.1\n2 W M D\n0 0 0 0\nA     0 -0.25 1 1 0 0 0\nB     0 0.25 1 1 90 1 0\nD 0 D\n");
    RunData& rd = *t.rd;
    ASSERT_EQ(readSystem(rd), 0);
    ASSERT_EQ(readArray(rd, "CO", 0), 0);
    const double lambda = rd.arrays[0].wavelength;
    const double k = kTwoPi / lambda;
    // A point 1000 ft out on the axis, 1 wavelength up (the element height).
    const double x = 1000.0, y = 0.0, z = lambda;
    Complex csb[2], sbo[2];
    arrayField(rd, 0, 'F', x, y, z, csb, sbo);
    const double r = std::sqrt(x * x + 0.25 * 0.25 * lambda * lambda);
    const Complex path = std::exp(Complex(0.0, k * r)) / r;
    // Equal paths: CSB 1 + j, SBO 0 + 1; pattern D on the axis is 1.
    EXPECT_CLOSE(csb[0].real(), (path * Complex(1.0, 1.0)).real(), 1e-9, 1e-15);
    EXPECT_CLOSE(csb[0].imag(), (path * Complex(1.0, 1.0)).imag(), 1e-9, 1e-15);
    EXPECT_CLOSE(sbo[0].real(), path.real(), 1e-9, 1e-15);
    EXPECT_CLOSE(sbo[0].imag(), path.imag(), 1e-9, 1e-15);
}

}  // namespace
}  // namespace ils
