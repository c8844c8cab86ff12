// The ".PTS" report: lines, formats, labels and unit columns, byte for byte.
#include <cerrno>
#include <cstring>
#include <string>

#include "post_fixture.h"

namespace ils::test {
namespace {

const std::string kColumnWords =
    "                   Crs Wid  Mod Bal  SBO Phs  Clr/Crs  Cpt Ang\n";

TEST_F(PostTest, ReportWithoutTraces) {
    writeParams(header() + kInactiveBlock + kInactiveBlock + kInactiveBlock + kInactiveBlock);
    writeField({FieldPoint(1.5, 0, 0), FieldPoint(-20.26, 7, 9)});
    ASSERT_EQ(post(), 0) << log();
    EXPECT_EQ(report(),
              "   Data File:  run           Output File:  rep     \n"
              "   Flight Points:    2       Traces:  0\n\n" +
                  kColumnWords +
                  "\n"
                  "          X \n"
                  "      (feet)\n\n"
                  "         1.5\n"
                  "       -20.3\n");
}

TEST_F(PostTest, ReportOfOneLocalizerCdiTraceInMicroamperes) {
    writeParams(header() + "1 0 0 2 0 0 0\n" + kCourseLine + kClearanceLine + kInactiveBlock +
                kInactiveBlock + kInactiveBlock);
    writeField({FieldPoint(0, 0, 0).inc(0, 1.0).inc(2, 0.6).inc(3, 1.4),
                FieldPoint(12345.67, 0, 0).inc(0, 1.0).inc(2, 1.4).inc(3, 0.6)});
    ASSERT_EQ(post(), 0) << log();
    EXPECT_EQ(report(),
              "   Data File:  run           Output File:  rep     \n"
              "   Flight Points:    2       Traces:  1\n\n" +
                  kColumnWords +
                  "   Tr 1 CDI CRS:     1.00    0.000      0.0\n"
                  "\n"
                  "          X          Y1 \n"
                  "      (feet)        (uA)\n\n"
                  "         0.0     154.839\n"
                  "     12345.7    -154.839\n");
}

// CRS and CLR lines Trace by Trace, the phase in radians, and the labels
// and formats of meters, DDM, phase and flag in percent modulation.
TEST_F(PostTest, ReportEchoesBothArraysAndEveryUnit) {
    writeParams(header(0, "0 0 0", "0 0 1") + "1 0 2 2 0 0 1\n2.5 0.01 90 1\n" +
                "3.25 -0.02 -45 2.5 12.0 1 1\n" + "1 4 1 0 0 0 4\nx\n" +
                "1.5 0 180 0.5 3.0 1 2\n" + "1 2 0 2 0 0 1\n" + kCourseLine + "y\n" +
                "1 3 0 0 0 0 3\n" + kCourseLine + kClearanceLine);
    writeField({FieldPoint(1000, 0, 0).course(1.0, 0.1).clearance(1.0, 0.1)});
    ASSERT_EQ(post(), 0) << log();
    const std::string expected =
        "   Data File:  run           Output File:  rep     \n"
        "   Flight Points:    1       Traces:  4\n\n" +
        kColumnWords +
        "   Tr 1 CDI CRS:     2.50    0.010      1.6\n"
        "   Tr 1 CDI CLR:     3.25   -0.020     -0.8     2.50    12.00\n"
        "   Tr 2 SBO CLR:     1.50    0.000      3.1     0.50     3.00\n"
        "   Tr 3 FLG CRS:     1.00    0.000      0.0\n"
        "   Tr 4 CSB CRS:     1.00    0.000      0.0\n"
        "\n"
        "          X          Y1          Y2          Y3          Y4 \n"
        "    (meters)       (ddm)   (degrees)     (% mod)        (dB)\n\n"
        "      304.80";
    const std::string rep = report();
    EXPECT_EQ(rep.substr(0, expected.size()), expected);
    // Row: X in meters, then the four values with their formats.
    const auto r = rows();
    ASSERT_EQ(r.size(), 1u);
    ASSERT_EQ(r[0].size(), 5u);
    // SBO clearance field: (b - a)·phasor(180 degrees)·scale 2 = -0.4, phase 180.
    EXPECT_CLOSE(std::fabs(r[0][2]), 180.0, 0, 5e-4);
    EXPECT_CLOSE(r[0][3], 0.4, 0, 5e-5);  // flag: 0.2 + 0.2, not times 100
    EXPECT_EQ(r[0][4], 0.0);              // the peak of the only CSB trace, in dB
    EXPECT_NE(rep.find("      0.4000        0.00\n"), std::string::npos) << rep;
}

TEST_F(PostTest, ReportDistanceLabelsAndFieldFormats) {
    struct Case {
        int units;
        const char* label;
        const char* x;
    };
    // x = 6076.115 feet is one nautical mile.
    const Case cases[] = {{2, "       (nmi)", "      1.0000"}, {3, "   (degrees)", "   348135.75"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.units);
        writeParams(header(0, "0 0 0", "0 0 " + std::to_string(c.units)) + "1 3 0 0 0 0 2\n" +
                    kCourseLine + kClearanceLine + kInactiveBlock + kInactiveBlock +
                    kInactiveBlock);
        writeField({FieldPoint(6076.115, 0, 0).course(0.5, 0.0)});
        ASSERT_EQ(post(), 0) << log();
        const std::string rep = report();
        EXPECT_NE(rep.find(std::string(c.label) + "   (rel amp)\n\n"), std::string::npos) << rep;
        EXPECT_NE(rep.find(std::string(c.x) + "   1.000e+00\n"), std::string::npos) << rep;
    }
}

TEST_F(PostTest, LongNamesWidenTheFirstLine) {
    writeParams(header(0, "0 0 0", "0 0 0", "a_long_field_name", "a_long_report") +
                kInactiveBlock + kInactiveBlock + kInactiveBlock + kInactiveBlock);
    writeField({FieldPoint(0, 0, 0)}, 0.5, 0.25, "a_long_field_name");
    ASSERT_EQ(post(), 0) << log();
    EXPECT_EQ(report("a_long_report").substr(0, 75),
              "   Data File:  a_long_field_name      Output File:  a_long_report\n"
              "   Flight");
}

// The report path is prefix, name and ".PTS" without a separator between
// them; backslashes in the prefix read as '/'.
TEST_F(PostTest, ReportPathJoinsPrefixAndName) {
    writeField({FieldPoint(0, 0, 0)});
    writeParams(dir + "out\nrun\nrun\n0\n0 0 0\n0 0 0\n" + kInactiveBlock + kInactiveBlock +
                kInactiveBlock + kInactiveBlock);
    ASSERT_EQ(post(), 0) << log();
    EXPECT_TRUE(fileExists(dir + "outrun.PTS"));

    std::string backslashed = dir;
    for (char& c : backslashed) {
        if (c == '/') c = '\\';
    }
    writeParams(backslashed + "\nrun\nrep2\n0\n0 0 0\n0 0 0\n" + kInactiveBlock + kInactiveBlock +
                kInactiveBlock + kInactiveBlock);
    ASSERT_EQ(post(), 0) << log();
    EXPECT_TRUE(fileExists(dir + "rep2.PTS"));
}

// A report that cannot be created is a failure of its own, told in the log;
// nothing goes to the host's standard output.
TEST_F(PostTest, ReportThatCannotBeCreatedFailsWithItsOwnCode) {
    writeField({FieldPoint(0, 0, 0)});
    writeParams(dir + "no/such/dir/\nrun\nrep\n0\n0 0 0\n0 0 0\n" + kInactiveBlock +
                kInactiveBlock + kInactiveBlock + kInactiveBlock);
    testing::internal::CaptureStdout();
    const int32_t result = post();
    const std::string out = testing::internal::GetCapturedStdout();
    EXPECT_EQ(result, 7);
    EXPECT_EQ(out, "");
    EXPECT_EQ(log(), "ERROR! Cannot create report file " + slashPath(dir) + "no/such/dir/rep.PTS: " +
                         std::strerror(ENOENT) + "\n");
}

}  // namespace
}  // namespace ils::test
