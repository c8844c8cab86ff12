// Element pattern block: antenna codes, built-in tables, input tables with
// implicit and given angles, dB values, completion and the pattern axis.
#include <cmath>
#include <string>
#include <vector>

#include "input/lines.h"
#include "path/direct_field.h"
#include "support/test_support.h"
#include "system/pattern_reader.h"

namespace ils {
namespace {

struct PatternRun {
    test::TestRun t;
    RunData& rd = *t.rd;
    int nextLineNumber = 0;
    int read(const std::string& text, double rotation = 0.0, int index = 0) {
        t.setCommandText(text);
        return readElementPattern(rd, 10, index == 0 ? "CO" : "CL", index, rotation, nextLineNumber);
    }
    const ElementPattern& pattern(int index = 0) const { return rd.arrays[index].pattern; }
    std::vector<double> angles() const {
        return {pattern().patternAngles, pattern().patternAngles + pattern().patternPointCount};
    }
    std::vector<double> values() const {
        return {pattern().patternValues, pattern().patternValues + pattern().patternPointCount};
    }
    std::string log() const { return t.logText(); }
    std::string nextLine() {
        char line[kLineSize];
        readLine(rd.commandFile, line);
        return line;
    }
};

void expectSymmetric(const PatternRun& r) {
    const int n = r.pattern().patternPointCount;
    for (int i = 0; i < n; ++i) {
        EXPECT_EQ(r.pattern().patternAngles[i], -r.pattern().patternAngles[n - 1 - i]) << i;
        EXPECT_EQ(r.pattern().patternValues[i], r.pattern().patternValues[n - 1 - i]) << i;
    }
    for (int i = 1; i < n; ++i) EXPECT_LT(r.pattern().patternAngles[i - 1], r.pattern().patternAngles[i]);
}

TEST(PatternReader, FormulaCodesKeepOnlyTheAxis) {
    for (const char* word : {"d", "D", "g", "Gain"}) {
        PatternRun r;
        r.rd.arrays[1].pattern.patternPointCount = 5;
        ASSERT_EQ(r.read(std::string(word) + " 90\nnext\n", 10.0 * kDegToRad, 1), 0) << word;
        EXPECT_EQ(r.log(), "");
        EXPECT_EQ(r.pattern(1).patternType, word[0] == 'd' || word[0] == 'D' ? 'D' : 'G');
        EXPECT_EQ(r.pattern(1).patternPointCount, 0);
        EXPECT_EQ(r.pattern(1).patternAxis, 90.0 * kDegToRad + 10.0 * kDegToRad);
        EXPECT_CLOSE(r.pattern(1).patternAxis, 100.0 * kDegToRad, 1e-15, 0.0);
        EXPECT_EQ(r.nextLineNumber, 11);
        EXPECT_EQ(r.nextLine(), "next\n");
    }
}

TEST(PatternReader, BuiltInTableF) {
    PatternRun r;
    ASSERT_EQ(r.read("F -5 degrees\n"), 0);
    EXPECT_EQ(r.pattern().patternType, 'F');
    ASSERT_EQ(r.pattern().patternPointCount, 33);
    expectSymmetric(r);
    EXPECT_EQ(r.angles().front(), -180.0);
    EXPECT_EQ(r.angles()[16], 0.0);
    EXPECT_EQ(r.values()[16], 1.0);
    EXPECT_EQ(r.angles()[17], 2.5);
    // Single-precision constants widened to double.
    EXPECT_EQ(r.values()[17], static_cast<double>(0.991f));
    EXPECT_NE(r.values()[17], 0.991);
    EXPECT_EQ(r.angles()[31], 65.0);
    EXPECT_EQ(r.values()[30], static_cast<double>(0.051f));
    EXPECT_EQ(r.values()[31], 0.0);
    EXPECT_EQ(r.pattern().patternAxis, -5.0 * kDegToRad);
}

TEST(PatternReader, BuiltInTableM) {
    PatternRun r;
    ASSERT_EQ(r.read("m 0 x\n"), 0);
    EXPECT_EQ(r.pattern().patternType, 'M');
    ASSERT_EQ(r.pattern().patternPointCount, 63);
    expectSymmetric(r);
    EXPECT_EQ(r.angles()[31], 0.0);
    EXPECT_EQ(r.angles()[32], 1.0);
    EXPECT_EQ(r.values()[32], static_cast<double>(0.979f));
    EXPECT_EQ(r.angles()[53], 27.5);
    EXPECT_EQ(r.values()[53], static_cast<double>(0.009f));
    EXPECT_EQ(r.angles()[61], 50.0);
    EXPECT_EQ(r.angles()[62], 180.0);
}

TEST(PatternReader, TablesEvaluateByInterpolation) {
    PatternRun r;
    ASSERT_EQ(r.read("F 0 D\n"), 0);
    // On the axis 1; the table is read with the azimuth negated, and it is
    // symmetric, so both sides agree; halfway between 2.5 and 5 degrees.
    EXPECT_EQ(patternValue(r.pattern(), 0.0, 0.0), 1.0);
    EXPECT_CLOSE(patternValue(r.pattern(), 2.5 * kDegToRad, 0.0), static_cast<double>(0.991f), 1e-12, 0.0);
    EXPECT_CLOSE(patternValue(r.pattern(), -3.75 * kDegToRad, 0.0),
                 (static_cast<double>(0.991f) + static_cast<double>(0.962f)) / 2.0, 1e-12, 0.0);
    EXPECT_CLOSE(patternValue(r.pattern(), 120.0 * kDegToRad, 0.3), 0.0, 0.0, 1e-15);
}

TEST(PatternReader, ImplicitAnglesTable) {
    std::string text = "19 0 M\n";
    for (int i = 0; i < 19; ++i) text += std::to_string(1.0 - i / 20.0) + (i % 5 == 4 ? "\n" : " ");
    text += "\nEN\n";
    PatternRun r;
    ASSERT_EQ(r.read(text), 0);
    EXPECT_EQ(r.pattern().patternType, 'I');
    ASSERT_EQ(r.pattern().patternPointCount, 37);
    expectSymmetric(r);
    EXPECT_EQ(r.angles().front(), -180.0);
    EXPECT_EQ(r.angles()[18], 0.0);
    EXPECT_EQ(r.angles()[19], 10.0);
    EXPECT_EQ(r.angles().back(), 180.0);
    EXPECT_EQ(r.values()[18], 1.0);
    EXPECT_EQ(r.values()[36], 0.1);
    // Block lines 10..14 (first line and four value lines).
    EXPECT_EQ(r.nextLineNumber, 15);
    EXPECT_EQ(r.nextLine(), "EN\n");
}

TEST(PatternReader, GivenAnglesAndDecibels) {
    PatternRun r;
    ASSERT_EQ(r.read("-3 0 dB\n0 45 90\n0 -3 -6\nEN\n"), 0);
    ASSERT_EQ(r.pattern().patternPointCount, 7);
    const std::vector<double> angles = {-180.0, -90.0, -45.0, 0.0, 45.0, 90.0, 180.0};
    EXPECT_EQ(r.angles(), angles);
    const std::vector<double> values = {0.0, std::pow(10.0, -0.3), std::pow(10.0, -0.15), 1.0,
                                        std::pow(10.0, -0.15), std::pow(10.0, -0.3), 0.0};
    EXPECT_EQ(r.values(), values);
    EXPECT_EQ(r.nextLineNumber, 13);
    EXPECT_EQ(r.nextLine(), "EN\n");
}

TEST(PatternReader, CompletionCases) {
    struct Case {
        const char* text;
        std::vector<double> angles;
        std::vector<double> values;
    };
    const Case cases[] = {
        // Negative start: (180, 0) appended, then (-180, value of the last point) first.
        {"-3 0 M\n-90 0 90\n0.5 1 0.5\n", {-180, -90, 0, 90, 180}, {0, 0.5, 1, 0.5, 0}},
        {"-3 0 M\n-90 0 180\n0.5 1 0.25\n", {-180, -90, 0, 180}, {0.25, 0.5, 1, 0.25}},
        // Starting at -180: the appended point repeats the first value.
        {"-3 0 M\n-180 0 90\n0.2 1 0.5\n", {-180, 0, 90, 180}, {0.2, 1, 0.5, 0.2}},
        {"-2 0 M\n-180 180\n0.2 0.3\n", {-180, 180}, {0.2, 0.3}},
        // Positive start: mirrored without a doubled 0 only when it starts at 0.
        {"-3 0 M\n10 20 180\n0.1 0.2 0.3\n", {-180, -20, -10, 10, 20, 180}, {0.3, 0.2, 0.1, 0.1, 0.2, 0.3}},
        {"-1 0 M\n0\n0.7\n", {-180, 0, 180}, {0, 0.7, 0}},
        {"1 0 M\n0.7\n", {-180, 0, 180}, {0, 0.7, 0}},
    };
    for (const Case& c : cases) {
        PatternRun r;
        ASSERT_EQ(r.read(c.text), 0) << c.text;
        EXPECT_EQ(r.angles(), c.angles) << c.text;
        EXPECT_EQ(r.values(), c.values) << c.text;
    }
}

std::string unitAngleTable(int k) {
    std::string text = "-" + std::to_string(k) + " 0 M\n";
    for (int i = 0; i < k; ++i) text += std::to_string(i) + " ";
    text += "\n";
    for (int i = 0; i < k; ++i) text += "0.5 ";
    return text + "\n";
}

TEST(PatternReader, CompletedSizeLimit) {
    {
        // 0..180 in 1-degree steps fills all 361 points.
        PatternRun r;
        ASSERT_EQ(r.read(unitAngleTable(181)), 0);
        EXPECT_EQ(r.pattern().patternPointCount, 361);
        expectSymmetric(r);
    }
    for (const std::string& text : {unitAngleTable(182), std::string("360 0 M\n") + std::string(360 * 2, ' ')}) {
        PatternRun r;
        r.rd.arrays[0].pattern.patternType = 'G';
        EXPECT_EQ(r.read(text), -1);
        EXPECT_EQ(r.log(), "ERROR! Radiation pattern table too large after completion.\n");
        EXPECT_EQ(r.pattern().patternType, 'G');  // the previous pattern stays
    }
    {
        // 360 points from -179.5 on: (180, 0) appended makes 361, and the
        // (-180) point would make 362.
        std::string text = "-360 0 M\n";
        for (int i = 0; i < 360; ++i) text += std::to_string(-179.5 + i) + "\n";
        for (int i = 0; i < 360; ++i) text += "1 ";
        PatternRun r;
        EXPECT_EQ(r.read(text), -1);
        EXPECT_EQ(r.log(), "ERROR! Radiation pattern table too large after completion.\n");
    }
}

TEST(PatternReader, CompleteTableDirectly) {
    double angles[kMaxPatternPoints] = {0.0, 90.0};
    double values[kMaxPatternPoints] = {1.0, 0.5};
    EXPECT_EQ(completePatternTable(angles, values, 2), 5);
    EXPECT_EQ(angles[0], -180.0);
    EXPECT_EQ(angles[1], -90.0);
    EXPECT_EQ(values[1], 0.5);
    EXPECT_EQ(angles[4], 180.0);
    // A table that would not fit is left as it was.
    double big[kMaxPatternPoints];
    double bigValues[kMaxPatternPoints];
    for (int i = 0; i < 200; ++i) {
        big[i] = i * 0.5;
        bigValues[i] = 1.0;
    }
    EXPECT_EQ(completePatternTable(big, bigValues, 200), -1);
    EXPECT_EQ(big[0], 0.0);
    EXPECT_EQ(big[199], 99.5);
}

TEST(PatternReader, CountAndCodeMessages) {
    struct Case {
        const char* text;
        const char* log;
    };
    const Case cases[] = {
        {"361 0 M\n", "ERROR! 361 is too many radiation pattern points. Limit: 361\n"},
        {"-361 0 M\n", "ERROR! 361 is too many radiation pattern points. Limit: 361\n"},
        {"-2147483648 0 M\n", "ERROR! 2147483647 is too many radiation pattern points. Limit: 361\n"},
        {"0 0 M\n", "ERROR! Number of radiation pattern points is 0.\n"},
        {"19 0 volts\n", "ERROR! Unknown radiation pattern units code: volts\n"},
        {"X1 0 D\n", "ERROR! Unrecognized antenna code: X1\n"},
        {"Q 0\n", "ERROR! Unrecognized antenna code: Q\n"},
        {"F\n", "ERROR! CO command requires 2 inputs on line 10.\nLast line read:\n\tF\n"},
        {"F deg\n", "ERROR! CO command requires 2 inputs on line 10.\nLast line read:\n\tF deg\n"},
        {"19 0\n", "ERROR! CO command requires 3 inputs on line 10.\nLast line read:\n\t19 0\n"},
        {"", "ERROR! CO command requires 2 inputs on line 10.\nLast line read:\n\t"},
    };
    for (const Case& c : cases) {
        PatternRun r;
        EXPECT_EQ(r.read(c.text), -1) << c.text;
        EXPECT_EQ(r.log(), c.log) << c.text;
    }
}

TEST(PatternReader, UnreadableListNumbersAreZero) {
    PatternRun r;
    ASSERT_EQ(r.read("-3 0 M\n0 45 90\n1 x 0.5\nEN\n"), 0);
    const std::vector<double> values = {0.0, 0.5, 0.0, 1.0, 0.0, 0.5, 0.0};
    EXPECT_EQ(r.values(), values);
    EXPECT_EQ(r.nextLine(), "EN\n");
    PatternRun a;
    ASSERT_EQ(a.read("-2 0 M\n? 90\n1 1\n"), 0);
    const std::vector<double> angles = {-180.0, -90.0, 0.0, 90.0, 180.0};
    EXPECT_EQ(a.angles(), angles);
    // With decibels the 0 read is 0 dB: angles -180 -10 0 10 180.
    PatternRun d;
    ASSERT_EQ(d.read("2 0 D\n-6 -\n"), 0);
    EXPECT_EQ(d.pattern().patternValues[2], std::pow(10.0, -0.3));
    EXPECT_EQ(d.pattern().patternValues[3], 1.0);
    // A list cut short by the end of the file: angles -180 -20 -10 0 10 20 180.
    PatternRun e;
    ASSERT_EQ(e.read("3 0 M\n0.5"), 0);
    ASSERT_EQ(e.pattern().patternPointCount, 7);
    EXPECT_EQ(e.pattern().patternValues[3], 0.5);
    EXPECT_EQ(e.pattern().patternValues[4], 0.0);
}

}  // namespace
}  // namespace ils
