// The built ilscalc program, run as a user runs it.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "ilscalc/version.h"
#include "support/test_support.h"
#include "tools/host_driver.h"

using namespace ils::test;

TEST(HostCli, HelpVersionAndUsageErrors) {
    Outcome o = host("--version");
    EXPECT_EQ(o.code, 0);
    EXPECT_EQ(o.output, std::string("ilscalc ") + ILSCALC_VERSION_STRING + "\n");
    o = host("--help");
    EXPECT_EQ(o.code, 0);
    EXPECT_NE(o.output.find("Exit codes:"), std::string::npos);
    EXPECT_NE(o.output.find("RUN_NAME.post"), std::string::npos);
    EXPECT_EQ(host("").code, 1);
    EXPECT_EQ(host("frobnicate").code, 1);
    EXPECT_EQ(host("run onlyone").code, 1);
    EXPECT_EQ(host("run a b --category IV --threshold 1,2").code, 1);
    EXPECT_EQ(host("run a b --category I").code, 1);  // no threshold
}

TEST(HostCli, MissingCommandFileIsNotStarted) {
    const std::string dir = slashPath(makeTempDir("host_missing"));
    const Outcome o = host(dir + " NOPE");
    EXPECT_EQ(o.code, 1);  // the word run is missing
    const Outcome r = host("run " + dir + " NOPE");
    EXPECT_EQ(r.code, 2);
    EXPECT_NE(r.output.find("NOPE.dat does not exist"), std::string::npos);
}

TEST(HostCli, FailedRunShowsItsErrorLines) {
    // An order error is found by the check before the run: not started.
    const std::string dir = slashPath(makeTempDir("host_fail"));
    writeFile(dir + "BAD.dat", "EN\n");
    Outcome o = host("run " + dir + " BAD");
    EXPECT_EQ(o.code, 2) << o.output;
    EXPECT_NE(o.output.find("ERROR! SY command must be input before EN command."), std::string::npos);
    EXPECT_NE(o.output.find(dir + "BAD.dat, line 1: EN"), std::string::npos) << o.output;
    EXPECT_NE(o.output.find("the calculation was not started"), std::string::npos);
    EXPECT_FALSE(fileExists(dir + "scratch/BAD.out"));
}

TEST(HostCli, RunPostCsvAndPlotEndToEnd) {
    const std::string dir = slashPath(makeTempDir("host_run"));
    writeFile(dir + "RUN.dat", std::string(kHostStation) + kHostLateral);
    writeFile(dir + "RUN.post", kHostPost);
    const Outcome o = host("run " + dir + " RUN --csv --plot");
    EXPECT_EQ(o.code, 0) << o.output;
    const std::string scratch = dir + "scratch/";
    const std::string shown = slashPath(scratch);
    EXPECT_TRUE(fileExists(scratch + "ILSPOST.TMP"));
    EXPECT_EQ(readFile(scratch + "ILSPOST.TMP"), kHostPost);
    EXPECT_NE(o.output.find("Report:      " + scratch + "RUN.PTS"), std::string::npos) << o.output;
    EXPECT_NE(o.output.find("CSV:         " + scratch + "RUN.csv"), std::string::npos);
    const std::string csv = readFile(scratch + "RUN.csv");
    EXPECT_EQ(csv.rfind("X (meters),Y1 CDI course (uA),Y2 CSB course (dB)\n", 0), 0u) << csv;
    size_t rows = 0;
    for (char c : csv) rows += c == '\n';
    EXPECT_EQ(rows, 1u + 9u);  // header and 9 points
    // Plots are drawn when gnuplot is installed; otherwise the host says how to get it.
    if (o.output.find("gnuplot was not found") == std::string::npos) {
        EXPECT_TRUE(fileExists(scratch + "RUN_Y1.png"));
        EXPECT_TRUE(fileExists(scratch + "RUN_Y2.svg"));
    }
    // The library's side files stay out of the user's directory.
    EXPECT_TRUE(fileExists(scratch + "v1.txt"));

    // Post-processing alone on the same scratch directory.
    const Outcome p = host("post " + scratch + " --csv");
    EXPECT_EQ(p.code, 0) << p.output;
    EXPECT_EQ(readFile(scratch + "RUN.csv"), csv);
}

TEST(HostCli, NoPostAndMissingParameterFile) {
    const std::string dir = slashPath(makeTempDir("host_nopost"));
    writeFile(dir + "RUN.dat", std::string(kHostStation) + kHostLateral);
    Outcome o = host("run " + dir + " RUN");
    EXPECT_EQ(o.code, 0);
    EXPECT_NE(o.output.find("No post-processing"), std::string::npos);
    writeFile(dir + "RUN.post", kHostPost);
    o = host("run " + dir + " RUN --no-post");
    EXPECT_EQ(o.code, 0);
    EXPECT_FALSE(fileExists(dir + "scratch/RUN.PTS"));
    // A scratch directory without ILSPOST.TMP cannot be post-processed.
    const std::string empty = slashPath(makeTempDir("host_post_empty"));
    EXPECT_EQ(host("post " + empty).code, 5);
}

TEST(HostCli, ToleranceFailureSetsItsExitCode) {
    // A track that drifts across the course from the centreline at 12 km to
    // 320 m left of it at the threshold: its CDI moves by far more than the
    // limits about its mean, so the check fails.
    const std::string dir = slashPath(makeTempDir("host_tol"));
    writeFile(dir + "RUN.dat", std::string(kHostStation) +
                                   "FP\nA M K F\n0.0 0.0 -400.0\n12000 2250 500 2 3 40000 0\n140 0\nEN\n");
    writeFile(dir + "RUN.post", kHostPost);
    const Outcome o = host("run " + dir + " RUN --category I --threshold 2250,0 --stop-end 250,0");
    EXPECT_NE(o.output.find("Course structure, localizer, Category I"), std::string::npos) << o.output;
    EXPECT_NE(o.output.find("FAIL"), std::string::npos) << o.output;
    EXPECT_EQ(o.code, 6);
}
