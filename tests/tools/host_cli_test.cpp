// The built ilscalc program, run as a user runs it.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "ilscalc/version.h"
#include "support/test_support.h"

using namespace ils::test;

namespace {

using Outcome = CommandOutcome;

Outcome host(const std::string& args) {
    // The program by its native absolute path, which every shell accepts.
    const std::filesystem::path program =
        std::filesystem::absolute(std::filesystem::path(ILSCALC_BINARY_DIR) / "ilscalc").make_preferred();
    Outcome o = runCommandLine("\"" + program.string() + "\" " + args);
    // Paths in the host's lines are compared in one form whatever the platform.
    o.output = slashPath(o.output);
    return o;
}

// A small single-frequency localizer with a lateral run at the threshold.
const char* const kStation =
    "SY\nL S A G\n110.3\nCO\n2 M M D\n0.0 0.0 8.2 0.0 0\n"
    "E1    0.0 -0.68 0.0 1.0 0 1.0 180\nE2    0.0 0.68 0.0 1.0 0 1.0 0\nD 0.0 D\n";
const char* const kLateral = "FP\nB M K F\n0.0 2250 0.0\n-4.3576 4.3576 100 90 100\n90\nEN\n";
const char* const kPost =
    "./\nRUN\nRUN\n0\n0.0 0.0 0.0\n0 1 1\n"
    "1 0 0 2 0 0 0\n0 0 0 1\n0 0 0 0 0 1 1\n"
    "1 3 0 0 0 0 3\n0 0 0 1\n0 0 0 0 0 1 1\n"
    "0 0 0 0 0 0 0\n0 0 0 1\n0 0 0 0 0 1 1\n"
    "0 0 0 0 0 0 0\n0 0 0 1\n0 0 0 0 0 1 1\n";

}  // namespace

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
    const std::string dir = makeTempDir("host_missing");
    const Outcome o = host(dir + " NOPE");
    EXPECT_EQ(o.code, 1);  // the word run is missing
    const Outcome r = host("run " + dir + " NOPE");
    EXPECT_EQ(r.code, 2);
    EXPECT_NE(r.output.find("NOPE.dat does not exist"), std::string::npos);
}

TEST(HostCli, FailedRunShowsItsErrorLines) {
    const std::string dir = makeTempDir("host_fail");
    writeFile(dir + "BAD.dat", "EN\n");
    const Outcome o = host("run " + dir + " BAD");
    EXPECT_EQ(o.code, 3);
    EXPECT_NE(o.output.find("ERROR! SY command must be input before EN command."), std::string::npos);
    EXPECT_NE(o.output.find(slashPath(dir) + "scratch/BAD.out"), std::string::npos);
    EXPECT_NE(o.output.find("Run failed"), std::string::npos);
}

TEST(HostCli, RunPostCsvAndPlotEndToEnd) {
    const std::string dir = makeTempDir("host_run");
    writeFile(dir + "RUN.dat", std::string(kStation) + kLateral);
    writeFile(dir + "RUN.post", kPost);
    const Outcome o = host("run " + dir + " RUN --csv --plot");
    EXPECT_EQ(o.code, 0) << o.output;
    const std::string scratch = dir + "scratch/";
    const std::string shown = slashPath(scratch);
    EXPECT_TRUE(fileExists(scratch + "ILSPOST.TMP"));
    EXPECT_EQ(readFile(scratch + "ILSPOST.TMP"), kPost);
    EXPECT_NE(o.output.find("Report:      " + shown + "RUN.PTS"), std::string::npos) << o.output;
    EXPECT_NE(o.output.find("CSV:         " + shown + "RUN.csv"), std::string::npos);
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
    const std::string dir = makeTempDir("host_nopost");
    writeFile(dir + "RUN.dat", std::string(kStation) + kLateral);
    Outcome o = host("run " + dir + " RUN");
    EXPECT_EQ(o.code, 0);
    EXPECT_NE(o.output.find("No post-processing"), std::string::npos);
    writeFile(dir + "RUN.post", kPost);
    o = host("run " + dir + " RUN --no-post");
    EXPECT_EQ(o.code, 0);
    EXPECT_FALSE(fileExists(dir + "scratch/RUN.PTS"));
    // A scratch directory without ILSPOST.TMP cannot be post-processed.
    const std::string empty = makeTempDir("host_post_empty");
    EXPECT_EQ(host("post " + empty).code, 5);
}

TEST(HostCli, ToleranceFailureSetsItsExitCode) {
    // A track that drifts across the course from the centreline at 12 km to
    // 320 m left of it at the threshold: its CDI moves by far more than the
    // limits about its mean, so the check fails.
    const std::string dir = makeTempDir("host_tol");
    writeFile(dir + "RUN.dat", std::string(kStation) +
                                   "FP\nA M K F\n0.0 0.0 -400.0\n12000 2250 500 2 3 40000 0\n140 0\nEN\n");
    writeFile(dir + "RUN.post", kPost);
    const Outcome o = host("run " + dir + " RUN --category I --threshold 2250,0 --stop-end 250,0");
    EXPECT_NE(o.output.find("Course structure, localizer, Category I"), std::string::npos) << o.output;
    EXPECT_NE(o.output.find("FAIL"), std::string::npos) << o.output;
    EXPECT_EQ(o.code, 6);
}
