// The host's readers of the report, post parameter file, FieldFile and log.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>

#include "host_files.h"

using namespace ilshost;

namespace {

const char* const kReport =
    "   Data File:  LOC2F         Output File:  LOC2F   \n"
    "   Flight Points:    3       Traces:  2\n\n"
    "                   Crs Wid  Mod Bal  SBO Phs  Clr/Crs  Cpt Ang\n"
    "   Tr 1 CDI CRS:     0.00    0.000      0.0\n"
    "   Tr 1 CDI CLR:     0.00    0.000      0.0     0.00     0.00\n"
    "   Tr 2 FLG CRS:     0.00    0.000      0.0\n"
    "\n          X          Y1          Y2 \n"
    "       (nmi)        (uA)     (% mod)\n\n"
    "     10.0000       0.001      0.4000\n"
    "      5.0000      -2.500      0.4100\n"
    "      0.0000      12.250      0.3900\n";

}  // namespace

TEST(HostReport, ParsesColumnsUnitsAndRows) {
    Report r;
    std::string error;
    ASSERT_TRUE(parseReport(kReport, r, error)) << error;
    EXPECT_EQ(r.dataName, "LOC2F");
    EXPECT_EQ(r.pointCount, 3);
    ASSERT_EQ(r.columns.size(), 3u);
    EXPECT_EQ(r.columns[0].unit, "(nmi)");
    EXPECT_EQ(r.columns[1].label, "CDI");
    EXPECT_TRUE(r.columns[1].course && r.columns[1].clearance);
    EXPECT_EQ(r.columns[2].unit, "(% mod)");  // a unit with a blank inside
    EXPECT_TRUE(r.columns[2].course && !r.columns[2].clearance);
    ASSERT_EQ(r.rows.size(), 3u);
    EXPECT_DOUBLE_EQ(r.rows[1][1], -2.5);
    EXPECT_DOUBLE_EQ(r.rows[2][2], 0.39);
}

TEST(HostReport, CsvHasNamedUnitHeaderAndEveryRow) {
    Report r;
    std::string error;
    ASSERT_TRUE(parseReport(kReport, r, error)) << error;
    EXPECT_EQ(reportCsv(r),
              "X (nmi),Y1 CDI course+clearance (uA),Y2 FLG course (% mod)\n"
              "10,0.001,0.4\n5,-2.5,0.41\n0,12.25,0.39\n");
}

TEST(HostReport, RejectsTruncatedOrDamagedReports) {
    Report r;
    std::string error;
    std::string text = kReport;
    text.resize(text.rfind("      0.0000"));  // last row lost
    EXPECT_FALSE(parseReport(text, r, error));
    EXPECT_NE(error.find("announces 3 points but holds 2"), std::string::npos);
    text = kReport;
    text.replace(text.find("-2.500"), 6, "-2.5x0");
    EXPECT_FALSE(parseReport(text, r, error));
    EXPECT_FALSE(parseReport("", r, error));
}

TEST(HostPostFile, NamesTypeAndReportPath) {
    PostNames n;
    std::string error;
    ASSERT_TRUE(parsePostNames(".\\out\\\r\n RUN \r\nREP\n1\n0 0 0\n", n, error)) << error;
    EXPECT_EQ(n.outputPrefix, "./out/");
    EXPECT_EQ(n.dataName, "RUN");
    EXPECT_EQ(n.ilsType, 1);
    EXPECT_EQ(reportPathFor(n, "/s/scratch/"), "/s/scratch/out/REP.PTS");
    n.outputPrefix = "/abs/";
    EXPECT_EQ(reportPathFor(n, "/s/scratch/"), "/abs/REP.PTS");
    EXPECT_FALSE(parsePostNames("a\nb\nc\n7\n", n, error));
    EXPECT_FALSE(parsePostNames("a\n\nc\n0\n", n, error));
}

TEST(HostFieldFile, ReadsPositionsAndRefusesShortFiles) {
    std::string bytes(20 + 2 * 504, '\0');
    const int32_t n = 2;
    std::memcpy(&bytes[0], &n, 4);
    const double p1[3] = {1.5, -2.0, 30.0};
    std::memcpy(&bytes[20 + 504], p1, sizeof p1);
    std::vector<Position> pos;
    std::string error;
    ASSERT_TRUE(parseFieldPositions(bytes, pos, error)) << error;
    ASSERT_EQ(pos.size(), 2u);
    EXPECT_DOUBLE_EQ(pos[1].y, -2.0);
    EXPECT_DOUBLE_EQ(pos[1].z, 30.0);
    bytes.pop_back();
    EXPECT_FALSE(parseFieldPositions(bytes, pos, error));
}

TEST(HostLog, KeepsErrorsWarningsAndTheirContinuations) {
    const std::string log =
        "\nScattered Fields\n   10.00 1.0e+00\n"
        "ERROR! FP command requires 3 inputs on line 2.\n"
        "Last line read:\n\t1 2\n"
        "   20.00 2.0e+00\n"
        "WARNING! Reflective plate 1 is not facing the system 50.0 %\n"
        "of the time.  Part or all of the field is not calculated.\n"
        "End of Run.\n";
    const std::vector<std::string> m = logMessages(log);
    ASSERT_EQ(m.size(), 5u);
    EXPECT_EQ(m[0], "ERROR! FP command requires 3 inputs on line 2.");
    EXPECT_EQ(m[2], "\t1 2");
    EXPECT_EQ(m[4], "of the time.  Part or all of the field is not calculated.");
}
