// SP and SW lines: codes, units, materials, skipping, geometry and messages.
#include <cmath>
#include <string>

#include "scatter/plate_helpers.h"
#include "scatter/scatterer_reader.h"

namespace ils {
namespace {

constexpr double kMuZero = 1.25663706143e-6;
constexpr double kEpsZero = 8.85418781762e-12;

struct Read {
    int status;
    std::string log;
};

Read readOne(test::TestRun& t, const char* command, const std::string& lines, Scatterer& s) {
    t.setCommandText(lines);
    const int status = readScatterer(*t.rd, command, s);
    return {status, t.logText()};
}

TEST(ScattererReader, ThreeValuesGiveMetresAndMaterialZero) {
    test::TestRun t;
    Scatterer s;
    const Read r = readOne(t, "SP", "m 0 0\n10 20 10 30 1 5 0\n", s);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.log, "");
    EXPECT_EQ(s.x1, 10 * kFeetPerMetre);
    EXPECT_EQ(s.y2, 30 * kFeetPerMetre);
    EXPECT_EQ(s.z1, 1 * kFeetPerMetre);
    EXPECT_EQ(s.z2, s.z1);
    EXPECT_EQ(s.height, 5 * kFeetPerMetre);
    EXPECT_EQ(s.permeability, 2000.0 * kMuZero);
    EXPECT_EQ(s.permittivity, 1.0 * kEpsZero);
    EXPECT_EQ(s.conductivity, 2.0e6);
    EXPECT_DOUBLE_EQ(s.azimuth, std::atan2(1.0, 0.0));
    EXPECT_DOUBLE_EQ(s.horizontalLength, 10 * kFeetPerMetre);
    EXPECT_EQ(s.contributionCode, 0);
    EXPECT_EQ(s.bothSidesFlag, 0);
}

TEST(ScattererReader, UnitsTokens) {
    test::TestRun t;
    t.rd->system.carrierWavelength = 8.5;
    const struct {
        const char* token;
        double factor;
    } good[] = {{"Meters", kFeetPerMetre}, {"m", kFeetPerMetre}, {"ft", 1.0},
                {"in", kFeetPerInch},      {"w", 8.5},           {"Inches", kFeetPerInch}};
    for (const auto& g : good) {
        Scatterer s;
        const Read r = readOne(t, "SP", std::string(g.token) + " 0 0 1\n2 0 4 0 0 3 0\n", s);
        EXPECT_EQ(r.status, 0) << g.token;
        EXPECT_EQ(s.x1, 2 * g.factor) << g.token;
        EXPECT_EQ(s.height, 3 * g.factor) << g.token;
    }
    {
        test::TestRun u;
        Scatterer s;
        const Read r = readOne(u, "SP", "Xfeet 0 0\n0 0 1 0 0 1 0\n", s);
        EXPECT_EQ(r.status, -1);
        EXPECT_EQ(r.log, "ERROR! Invalid scatterer dimensions units code: Xfeet.\n");
    }
    {
        // 16 characters do not fit the token: nothing converts.
        test::TestRun u;
        Scatterer s;
        const Read r = readOne(u, "SW", "metresmetresmetr 0 0\n0 0 1 0 0 1 0\n", s);
        EXPECT_EQ(r.status, -1);
        EXPECT_EQ(r.log,
                  "ERROR! SW command requires 3 inputs on line 1.\nLast line read:\n\t"
                  "metresmetresmetr 0 0\n");
    }
}

TEST(ScattererReader, SkippedScattererIsNotExamined) {
    for (const char* lines : {"X 2 0\nnot numbers\n", "f 2 1 99\n1 2 3\n", "f 2 0\n"}) {
        test::TestRun t;
        Scatterer s = test::makePlate(1, 2, 3, 4, 5, 6);
        const Scatterer before = s;
        const Read r = readOne(t, "SP", lines, s);
        EXPECT_EQ(r.status, 0) << lines;
        EXPECT_EQ(r.log, "") << lines;
        EXPECT_EQ(s.contributionCode, 2);
        EXPECT_EQ(s.x1, before.x1);
        EXPECT_EQ(s.height, before.height);
        EXPECT_EQ(s.conductivity, before.conductivity);
    }
    // Both lines are consumed: the next line is the next command.
    test::TestRun t;
    t.setCommandText("f 2 0\nbad line\nEN\n");
    Scatterer s;
    ASSERT_EQ(readScatterer(*t.rd, "SP", s), 0);
    char next[16] = {};
    ASSERT_NE(std::fgets(next, sizeof next, t.rd->commandFile), nullptr);
    EXPECT_STREQ(next, "EN\n");
}

TEST(ScattererReader, MissingValuesOnEitherLine) {
    struct Case {
        const char* command;
        const char* lines;
        const char* log;
    };
    const Case cases[] = {
        {"SP", "f 0\n", "ERROR! SP command requires 3 inputs on line 1.\nLast line read:\n\tf 0\n"},
        {"SP", "", "ERROR! SP command requires 3 inputs on line 1.\nLast line read:\n\t"},
        {"SP", "f 0 0\n1 2 3 4 5 6\n",
         "ERROR! SP command requires 7 inputs on line 2.\nLast line read:\n\t1 2 3 4 5 6\n"},
        {"SW", "f 0 0\n1 2 3 4 5 x 7\n",
         "ERROR! SW command requires 7 inputs on line 2.\nLast line read:\n\t1 2 3 4 5 x 7\n"},
    };
    for (const Case& c : cases) {
        test::TestRun t;
        Scatterer s;
        const Read r = readOne(t, c.command, c.lines, s);
        EXPECT_EQ(r.status, -1) << c.lines;
        EXPECT_EQ(r.log, c.log) << c.lines;
    }
    // An eighth value is ignored.
    test::TestRun t;
    Scatterer s;
    const Read r = readOne(t, "SP", "f 1 1\n1 2 3 4 5 6 7 8\n", s);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(s.contributionCode, 1);
    EXPECT_EQ(s.bothSidesFlag, 1);
    EXPECT_EQ(s.tilt, 7 * kDegToRad);
}

TEST(ScattererReader, TiltIsDegreesWhateverTheUnits) {
    test::TestRun t;
    Scatterer s;
    ASSERT_EQ(readOne(t, "SP", "m 0 0\n0 0 10 0 2 4 90\n", s).status, 0);
    EXPECT_EQ(s.tilt, 90 * 0.017453292519944444);
    // A tilt of 90 lays the plate flat: its up vector is horizontal.
    EXPECT_LT(std::fabs(std::cos(s.tilt)), 1e-12);
    EXPECT_EQ(s.z1, 2 * kFeetPerMetre);
}

TEST(ScattererReader, MaterialCodes) {
    test::TestRun t;
    Scatterer s;
    ASSERT_EQ(readOne(t, "SP", "f 0 0 11 1 4 0.01\n0 0 1 0 0 1 0\n", s).status, 0);
    EXPECT_EQ(s.permeability, kMuZero);
    EXPECT_EQ(s.permittivity, 4 * kEpsZero);
    EXPECT_EQ(s.conductivity, 0.009999999776482582);

    // Table values are single precision widened to double.
    ASSERT_EQ(readOne(t, "SP", "f 0 0 6\n0 0 1 0 0 1 0\n", s).status, 0);
    EXPECT_EQ(s.permittivity, static_cast<double>(3.4f) * kEpsZero);
    EXPECT_EQ(s.conductivity, static_cast<double>(0.0051f));
    ASSERT_EQ(readOne(t, "SP", "f 0 0 1\n0 0 1 0 0 1 0\n", s).status, 0);
    EXPECT_EQ(s.permeability, static_cast<double>(1.00002f) * kMuZero);
    EXPECT_EQ(s.conductivity, static_cast<double>(3.96e7f));
    EXPECT_EQ(t.logText(), "");
}

TEST(ScattererReader, InvalidMaterialKeepsThePreviousOrGetsMaterialZero) {
    {
        // First plate of a run: the message, then material 0.
        test::TestRun t;
        Scatterer s;
        const Read r = readOne(t, "SP", "f 0 0 12\n0 0 1 0 0 1 0\n", s);
        EXPECT_EQ(r.status, 0);
        EXPECT_EQ(r.log, "ERROR! Invalid scatterer material code: 12.\n");
        EXPECT_EQ(s.permeability, 2000.0 * kMuZero);
        EXPECT_EQ(s.permittivity, kEpsZero);
        EXPECT_EQ(s.conductivity, 2.0e6);
        EXPECT_EQ(s.x2, 1.0);  // the rest is read normally
    }
    {
        // A later plate keeps the previous material.
        test::TestRun t;
        Scatterer s;
        ASSERT_EQ(readOne(t, "SP", "f 0 0 9\n0 0 1 0 0 1 0\n", s).status, 0);
        const Read r = readOne(t, "SP", "f 0 0 -1\n0 0 2 0 0 1 0\n", s);
        EXPECT_EQ(r.status, 0);
        EXPECT_EQ(r.log, "ERROR! Invalid scatterer material code: -1.\n");
        EXPECT_EQ(s.permittivity, 10.0 * kEpsZero);
        EXPECT_EQ(s.conductivity, static_cast<double>(0.002f));
        EXPECT_EQ(s.x2, 2.0);
    }
    {
        // Code 11 without its three values is no material either.
        test::TestRun t;
        Scatterer s;
        const Read r = readOne(t, "SP", "f 0 0 11 1 4\n0 0 1 0 0 1 0\n", s);
        EXPECT_EQ(r.status, 0);
        EXPECT_EQ(r.log, "ERROR! Invalid scatterer material code: 11.\n");
        EXPECT_EQ(s.permeability, 2000.0 * kMuZero);
    }
    {
        // A wire never looks at the material fields.
        test::TestRun t;
        Scatterer s;
        const Read r = readOne(t, "SW", "f 0 0 12\n0 0 1 0 0 1 0.1\n", s);
        EXPECT_EQ(r.status, 0);
        EXPECT_EQ(r.log, "");
        EXPECT_FALSE(s.materialDefined);
    }
}

TEST(ScattererReader, WireGeometry) {
    test::TestRun t;
    Scatterer s;
    ASSERT_EQ(readOne(t, "SW", "in 0 1\n0 0 12 24 10 10 0.5\n", s).status, 0);
    EXPECT_EQ(s.z2, 10 * kFeetPerInch);
    EXPECT_DOUBLE_EQ(s.tilt, std::atan2(1.0, 0.0));  // level wire
    EXPECT_EQ(s.length, s.horizontalLength);
    EXPECT_EQ(s.radius, 0.5 * kFeetPerInch);
    EXPECT_EQ(s.azimuth, std::atan2(24 * kFeetPerInch, 12 * kFeetPerInch));

    ASSERT_EQ(readOne(t, "SW", "f 0 0\n3 4 3 4 0 10 0.1\n", s).status, 0);
    EXPECT_EQ(s.horizontalLength, 0.0);
    EXPECT_EQ(s.azimuth, 0.0);
    EXPECT_EQ(s.tilt, 0.0);  // rising straight up
    EXPECT_EQ(s.length, 10.0);
    ASSERT_EQ(readOne(t, "SW", "f 0 0\n3 4 3 4 10 0 0.1\n", s).status, 0);
    EXPECT_DOUBLE_EQ(s.tilt, std::atan2(0.0, -10.0));
}

}  // namespace
}  // namespace ils
