// The gnuplot script and data the host writes: axis titles that say what X
// and each Trace are, flag in percent, limits inside the axis range, failing
// points and approach marks, and an overlay of a second report.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "plot.h"
#include "support/test_support.h"

using namespace ilshost;

namespace {

Report smallReport(const std::string& name) {
    Report r;
    r.outputName = name;
    r.pointCount = 3;
    r.columns.resize(3);
    r.columns[0] = {"X", "(meters)", "", false, false};
    r.columns[1] = {"Y1", "(uA)", "CDI", true, false};
    r.columns[2] = {"Y2", "(% mod)", "FLG", true, false};
    r.rows = {{-100.0, 1.0, 0.4}, {0.0, 2.0, 0.41}, {100.0, -1.0, 0.39}};
    return r;
}

}  // namespace

TEST(PlotScript, TitlesSayWhatIsDrawn) {
    const std::string dir = ils::test::makeTempDir("plot_titles");
    const Report r = smallReport("RUN");
    PlotStyle style;
    style.referenceCode = 1;
    TraceInfo cdi;
    cdi.flightCorrections = 1;
    TraceInfo flag;
    flag.outputType = 2;
    style.traces = {cdi, flag};
    std::string script, error;
    std::vector<std::string> images;
    ASSERT_TRUE(writePlotFiles(r, nullptr, {}, style, dir + "RUN", script, images, error)) << error;
    const std::string gp = ils::test::readFile(script);
    EXPECT_NE(gp.find("set xlabel 'Cross-track offset y (meters)'"), std::string::npos) << gp;
    EXPECT_NE(gp.find("Course deviation (CDI), course array, incident-corrected (µA)"), std::string::npos) << gp;
    EXPECT_NE(gp.find("Flag, course array (% modulation)"), std::string::npos) << gp;
    EXPECT_NE(gp.find("set key outside below"), std::string::npos);
    ASSERT_EQ(images.size(), 4u);
    // Flag values in percent: 0.41 is drawn as 41.
    const std::string data = ils::test::readFile(dir + "RUN.plot.dat");
    EXPECT_NE(data.find("0 2 41\n"), std::string::npos) << data;

    style.glidePath = true;
    ASSERT_TRUE(writePlotFiles(r, nullptr, {}, style, dir + "GS", script, images, error)) << error;
    EXPECT_NE(ils::test::readFile(script).find("Glide-path deviation (CDI)"), std::string::npos);
}

TEST(PlotScript, LimitsFailingPointsMarksAndOverlay) {
    const std::string dir = ils::test::makeTempDir("plot_limits");
    const Report r = smallReport("WITH");
    Report other = smallReport("WITHOUT");
    other.rows[1][1] = 7.0;
    PlotLimits band;
    band.column = 1;
    band.meanCourse = 0.5;
    band.limits = {30.0, 30.0, NAN};
    band.failing = {0, 1, 0};
    band.along = {-100.0, 0.0, 100.0};
    band.marks = {{"thr", 0.0}, {"C", -50.0}, {"far", -5000.0}};
    band.caption = "limit";
    PlotStyle style;
    std::string script, error;
    std::vector<std::string> images;
    ASSERT_TRUE(writePlotFiles(r, &other, {band}, style, dir + "WITH", script, images, error)) << error;
    const std::string gp = ils::test::readFile(script);
    // The y range of Y1 holds mean +- limit (-29.5 .. 30.5) with a margin.
    const size_t y1 = gp.find("set output '" + dir + "WITH_Y1.png'");
    ASSERT_NE(y1, std::string::npos);
    const size_t range = gp.rfind("set yrange [", y1);
    ASSERT_NE(range, std::string::npos);
    double low = 0, high = 0;
    ASSERT_EQ(std::sscanf(gp.c_str() + range, "set yrange [%lf:%lf]", &low, &high), 2);
    EXPECT_LT(low, -29.5);
    EXPECT_GT(high, 30.5);
    // Marks at the X of their along-track place; one off the flight is left out.
    EXPECT_NE(gp.find("set arrow from 0, graph 0"), std::string::npos) << gp;
    EXPECT_NE(gp.find("set arrow from -50, graph 0"), std::string::npos) << gp;
    EXPECT_EQ(gp.find("'far'"), std::string::npos);
    EXPECT_NE(gp.find("outside the limit"), std::string::npos);
    // Failing point column: the CDI value at the failing point only.
    const std::string data = ils::test::readFile(dir + "WITH.plot.dat");
    EXPECT_NE(data.find("0 2 41 -29.5 30.5 2\n"), std::string::npos) << data;
    EXPECT_NE(data.find("-100 1 40 -29.5 30.5 NaN\n"), std::string::npos) << data;
    // The overlay is drawn from its own data with its own title.
    EXPECT_NE(gp.find("'" + dir + "WITH.overlay.dat' using 1:2"), std::string::npos) << gp;
    EXPECT_NE(gp.find("(WITHOUT)"), std::string::npos);
    EXPECT_NE(ils::test::readFile(dir + "WITH.overlay.dat").find("0 7 41"), std::string::npos);
}

TEST(PlotScript, ExplicitLimitLinesWithoutMeanCourse) {
    const std::string dir = ils::test::makeTempDir("plot_lines");
    const Report r = smallReport("ORB");
    PlotLimits band;
    band.column = 1;
    band.drawMean = false;
    band.lower = {-174.2, NAN, -150.0};
    band.upper = {174.2, NAN, 150.0};
    band.xMarks = {{"min angle", 50.0}};
    band.caption = "clearance";
    std::string script, error;
    std::vector<std::string> images;
    ASSERT_TRUE(writePlotFiles(r, nullptr, {band}, PlotStyle{}, dir + "ORB", script, images, error)) << error;
    const std::string gp = ils::test::readFile(script);
    EXPECT_EQ(gp.find("mean course"), std::string::npos);
    EXPECT_NE(gp.find("set arrow from 50, graph 0"), std::string::npos) << gp;
    const std::string data = ils::test::readFile(dir + "ORB.plot.dat");
    EXPECT_NE(data.find("-100 1 40 -174.2 174.2 NaN\n"), std::string::npos) << data;
    EXPECT_NE(data.find("0 2 41 NaN NaN NaN\n"), std::string::npos) << data;
}
