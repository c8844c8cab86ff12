// Honest ends of the host: a start that fails shows this start's reason, an
// interrupt skips the steps after it with exit code 4, a failed write names
// the file and the reason and nothing after it claims success, stale outputs
// of an earlier run are removed, and checks that check nothing do not pass.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "ilscalc/ilscalc.h"
#include "host_steps.h"
#include "support/test_support.h"
#include "tools/host_driver.h"

using namespace ils::test;

TEST(HostEnds, EveryLibraryCodeHasItsOwnMeaning) {
    for (int c = 0; c < ILSPOST_RESULT_COUNT; ++c) {
        const std::string t = ilshost::postResultText(c);
        EXPECT_EQ(t.find("does not know"), std::string::npos) << c;
        for (int d = 0; d < c; ++d) EXPECT_NE(t, ilshost::postResultText(d)) << c << " " << d;
    }
    for (int c = 0; c < ILSCALC_START_RESULT_COUNT; ++c) {
        EXPECT_EQ(ilshost::startResultText(c).find("does not know"), std::string::npos) << c;
    }
    EXPECT_EQ(ILSPOST_NO_REPORT, 7);
    EXPECT_NE(ilshost::postResultText(7).find("report"), std::string::npos);
    EXPECT_NE(ilshost::postResultText(8).find("does not know (8)"), std::string::npos);
}

TEST(HostEnds, FailedStartShowsOnlyThisStartsReason) {
    const std::string dir = slashPath(makeTempDir("ends_start"));
    writeFile(dir + "RUN.dat", std::string(kHostStation) + kHostLateral);
    std::filesystem::create_directories(dir + "scratch");
    writeFile(dir + "scratch/RUN.out", "ERROR! a message of an older run\n");
    std::filesystem::create_directories(dir + "scratch/RUN.fld");  // the field file cannot be opened
    const Outcome o = host("run " + dir + " RUN");
    EXPECT_EQ(o.code, 2) << o.output;
    EXPECT_TRUE(has(o, "code 3: the message log or the field file cannot be opened")) << o.output;
    EXPECT_TRUE(has(o, "ERROR! Cannot open field file")) << o.output;
    EXPECT_FALSE(has(o, "older run")) << o.output;
}

TEST(HostEnds, FailedWriteNamesFileAndReasonAndIsNotASuccess) {
    const std::string dir = slashPath(makeTempDir("ends_write"));
    writeFile(dir + "RUN.dat", std::string(kHostStation) + kHostLateral);
    writeFile(dir + "RUN.post", kHostPost);
    std::filesystem::create_directories(dir + "scratch");
    std::filesystem::create_directories(dir + "scratch/RUN.csv");  // a folder where the CSV file goes
    const Outcome o = host("run " + dir + " RUN --csv");
    EXPECT_EQ(o.code, 7) << o.output;
    EXPECT_TRUE(has(o, "ERROR! The CSV file was not written: cannot write " + dir + "scratch/RUN.csv: ")) << o.output;
#if !defined(_WIN32)
    // The system's own words for the reason; the Windows C runtime has others.
    EXPECT_TRUE(has(o, "Is a directory")) << o.output;
#endif
    EXPECT_FALSE(has(o, "CSV:         ")) << o.output;
    EXPECT_TRUE(has(o, "Not done:    CSV (write failed)")) << o.output;

    // A report that cannot be created: the library's code 7, explained.
    std::filesystem::remove(dir + "scratch/RUN.PTS");
    ASSERT_TRUE(std::filesystem::create_directory(dir + "scratch/RUN.PTS"));
    const Outcome p = host("run " + dir + " RUN --csv --plot");
    EXPECT_EQ(p.code, 5) << p.output;
    EXPECT_TRUE(has(p, "Post-processing failed (code 7: the report cannot be created or written")) << p.output;
    EXPECT_TRUE(has(p, "Not done:    post-processing, CSV, plots")) << p.output;
    EXPECT_FALSE(has(p, "unknown")) << p.output;
}

TEST(HostEnds, OutputsOfAnEarlierRunDoNotStayLookingCurrent) {
    const std::string dir = slashPath(makeTempDir("ends_stale"));
    writeFile(dir + "RUN.dat", std::string(kHostStation) + kHostLateral);
    writeFile(dir + "RUN.post", kHostPost);
    std::filesystem::create_directories(dir + "scratch");
    writeFile(dir + "scratch/RUN_Y3.png", "old");
    writeFile(dir + "scratch/RUN.csv", "old");
    writeFile(dir + "scratch/RUN.checks.json", "old");
    writeFile(dir + "scratch/OTHER.csv", "kept");
    const Outcome o = host("run " + dir + " RUN");
    EXPECT_EQ(o.code, 0) << o.output;
    EXPECT_FALSE(fileExists(dir + "scratch/RUN_Y3.png"));
    EXPECT_FALSE(fileExists(dir + "scratch/RUN.csv"));
    EXPECT_FALSE(fileExists(dir + "scratch/RUN.checks.json"));
    EXPECT_TRUE(fileExists(dir + "scratch/OTHER.csv"));
    EXPECT_TRUE(fileExists(dir + "scratch/RUN.PTS"));
}

TEST(HostEnds, InterruptDuringTheCalculationSkipsTheRest) {
    // Enough points and plates to run for seconds; SIGTERM arrives early.
    ILSCALC_SKIP_ON_WINDOWS("SIGTERM from a POSIX shell");
    const std::string dir = slashPath(makeTempDir("ends_interrupt"));
    std::string plates;
    for (int i = 0; i < 80; ++i) plates += "SP\nM 0 0 0\n0 300 2000 300 0 60 0\n";
    writeFile(dir + "RUN.dat", std::string(kHostStation) +
                                   "FP\nB M K F\n0.0 2250 0.0\n-4.3576 4.3576 1 90 100\n90\n" + plates + "EN\n");
    writeFile(dir + "RUN.post", kHostPost);
    // A subshell, so that the host's own output is what is captured. The
    // signal is sent once the calculation has begun (its log exists): the
    // checks before it take seconds in a sanitizer build.
    const std::string log = dir + "scratch/RUN.out";
    const std::string cmd = "( \"" + hostProgram() + "\" run " + dir + " RUN --csv & pid=$!; n=0; " +
                            "while [ ! -e \"" + log + "\" ] && [ $n -lt 1200 ]; do sleep 0.05; n=$((n+1)); done; " +
                            "sleep 0.3; kill -TERM $pid; wait $pid )";
    const Outcome o = runCommandLine(cmd);
    ASSERT_EQ(o.output.find("Run finished."), std::string::npos)
        << "the run ended before the interrupt; make it longer:\n" << o.output;
    EXPECT_EQ(o.code, 4) << o.output;
    EXPECT_TRUE(has(o, "Stop requested")) << o.output;
    EXPECT_TRUE(has(o, "(stopped at this point)")) << o.output;
    EXPECT_TRUE(has(o, "Not done:    calculation (stopped), post-processing, CSV")) << o.output;
    EXPECT_FALSE(fileExists(dir + "scratch/RUN.PTS"));
}

TEST(HostEnds, ToleranceCheckThatChecksNothingIsNotAPass) {
    const std::string dir = slashPath(makeTempDir("ends_tol"));
    writeFile(dir + "RUN.dat", std::string(kHostStation) + kHostLateral);
    writeFile(dir + "RUN.post", kHostPost);
    // The lateral run at x = 2250 ft lies 4 km past a threshold at x = -4000 m
    // for an approach from -x: no point lies in any Category I segment.
    const Outcome o = host("run " + dir + " RUN --category I --threshold -4000,0 --stop-end -1000,0");
    EXPECT_EQ(o.code, 6) << o.output;
    EXPECT_TRUE(has(o, "NOT CHECKED")) << o.output;
    EXPECT_TRUE(fileExists(dir + "scratch/RUN.checks.json"));
    EXPECT_NE(readFile(dir + "scratch/RUN.checks.json").find("\"result\": \"not checked\""), std::string::npos);
}

TEST(HostEnds, ChecksThatDoNotFitTheFlightSayWhy) {
    // The shared project is a run across the course (X = y in metres): the
    // width check measures it; clearance needs an orbit and says so.
    const std::string dir = slashPath(makeTempDir("ends_fit"));
    writeFile(dir + "RUN.dat", std::string(kHostStation) + kHostLateral);
    writeFile(dir + "RUN.post", kHostPost);
    Outcome o = host("run " + dir + " RUN --category I --checks width");
    EXPECT_TRUE(has(o, "Localizer displacement sensitivity and course alignment: Y1 CDI course (uA)")) << o.output;
    EXPECT_TRUE(has(o, "course alignment (DDM 0 from the centreline)")) << o.output;
    const bool passed = has(o, "  result: pass\n");
    EXPECT_EQ(o.code, passed ? 0 : 6) << o.output;
    const std::string json = readFile(dir + "scratch/RUN.checks.json");
    EXPECT_NE(json.find("\"check\": \"Localizer displacement sensitivity and course alignment\""), std::string::npos)
        << json;

    o = host("run " + dir + " RUN --category I --checks clearance");
    EXPECT_EQ(o.code, 6) << o.output;
    EXPECT_TRUE(has(o, "Check clearance: NOT CHECKED: it needs a localizer orbit")) << o.output;
    EXPECT_EQ(host("run " + dir + " RUN --category I --checks bends").code, 1);
}

TEST(HostEnds, FullDiskIsReportedWithTheSystemsReason) {
    // /dev/full accepts the open and refuses every write with ENOSPC.
    ILSCALC_SKIP_ON_WINDOWS("no /dev/full");
    if (!fileExists("/dev/full")) GTEST_SKIP() << "no /dev/full";
    const std::string dir = slashPath(makeTempDir("ends_full"));
    writeFile(dir + "RUN.dat", std::string(kHostStation) + kHostLateral);
    writeFile(dir + "RUN.post", kHostPost);
    std::filesystem::create_directories(dir + "scratch");
    std::filesystem::create_symlink("/dev/full", dir + "scratch/RUN.csv");
    Outcome o = host("run " + dir + " RUN --csv");
    EXPECT_EQ(o.code, 7) << o.output;
    EXPECT_TRUE(has(o, "cannot write " + dir + "scratch/RUN.csv: No space left on device")) << o.output;
    EXPECT_FALSE(has(o, "CSV:         ")) << o.output;

    // The field file on a full disk: the library reports it in its log, the
    // host shows that line and the run does not pass for finished.
    std::filesystem::remove(dir + "scratch/RUN.fld");
    std::filesystem::create_symlink("/dev/full", dir + "scratch/RUN.fld");
    o = host("run " + dir + " RUN");
    EXPECT_EQ(o.code, 3) << o.output;
    EXPECT_TRUE(has(o, "ERROR! ")) << o.output;
    EXPECT_TRUE(has(o, "field file")) << o.output;
    EXPECT_FALSE(has(o, "Run finished.")) << o.output;
    EXPECT_TRUE(has(o, "Not done:    calculation (failed), post-processing")) << o.output;
}
