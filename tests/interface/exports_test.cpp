// The exported calculation functions: directory handling, run files, return
// codes, run states and the percentages delivered to the host.
#include <filesystem>
#include <string>

#include "interface/interface_helpers.h"

namespace ils::test {
namespace {

constexpr int32_t kIdle = ILSCALC_IDLE;
constexpr int32_t kRunning = ILSCALC_RUNNING;
constexpr int32_t kFinishedState = ILSCALC_FINISHED;
constexpr int32_t kFailedState = ILSCALC_FAILED;
constexpr int32_t kInterruptedState = ILSCALC_INTERRUPTED;

int32_t deliveredPercent(int32_t& state) {
    int32_t percent = -7;
    state = ILSCalc_GetProgress(&percent);
    return percent;
}

TEST(ExportsProgress, BeforeAnyStartDeliversZeroAndIdle) {
    resetToIdle();
    int32_t state = -1;
    EXPECT_EQ(deliveredPercent(state), 0);
    EXPECT_EQ(state, kIdle);
}

TEST(ExportsProgress, PercentageFollowsTheRunState) {
    RunData& rd = runData();
    struct Case {
        int32_t state, stored, delivered;
    };
    const Case cases[] = {
        {kIdle, 55, 0},         {kFailedState, 55, 0},  {kFinishedState, 55, 100},
        {kInterruptedState, 3, 100}, {kRunning, 0, 1},   {kRunning, -20, 1},
        {kRunning, 1, 1},       {kRunning, 57, 57},     {kRunning, 99, 99},
        {kRunning, 100, 99},    {kRunning, 250, 99},
    };
    for (const Case& c : cases) {
        rd.progressPercent.store(c.stored);
        rd.runState.store(c.state);
        int32_t state = -1;
        EXPECT_EQ(deliveredPercent(state), c.delivered) << c.state << " " << c.stored;
        EXPECT_EQ(state, c.state);
    }
    resetToIdle();
}

TEST(ExportsStop, WhenNotRunningChangesNothing) {
    resetToIdle();
    EXPECT_EQ(ILSCalc_Stop(), kIdle);
    EXPECT_FALSE(runData().stopRequested.load());

    const CalcResult r = runCommandFile(fullRun());
    ASSERT_EQ(r.state, kFinishedState) << r.log;
    EXPECT_EQ(ILSCalc_Stop(), kFinishedState);
    EXPECT_FALSE(runData().stopRequested.load());
    // The next run is not affected by the refused request.
    const CalcResult again = runCommandFile(fullRun());
    EXPECT_EQ(again.state, kFinishedState) << again.log;
}

TEST(ExportsStop, DuringARunEndsItAtTheNextCommand) {
    GatedRun run("CO");
    ASSERT_EQ(run.start(fullRun()), 0);
    ASSERT_TRUE(run.waitHeld());
    int32_t state = -1;
    EXPECT_EQ(deliveredPercent(state), 1);  // 0 while running is shown as 1
    EXPECT_EQ(state, kRunning);
    EXPECT_EQ(ILSCalc_Stop(), kRunning);
    EXPECT_EQ(ILSCalc_Stop(), kRunning);  // asking twice is harmless
    run.release();
    EXPECT_EQ(waitForRun(), kInterruptedState);
    EXPECT_EQ(deliveredPercent(state), 100);
    EXPECT_EQ(state, kInterruptedState);
    EXPECT_EQ(run.log(), "Calculation interrupted.\n");
    // FP and EN never ran: the field file was closed empty.
    EXPECT_EQ(run.fieldFile(), "");
    EXPECT_EQ(Gate::progress.size(), 2u);  // SY and CO only
}

TEST(ExportsStop, DuringTheLastCommandDoesNotUndoAFinishedRun) {
    GatedRun run("EN");
    ASSERT_EQ(run.start(fullRun()), 0);
    ASSERT_TRUE(run.waitHeld());
    EXPECT_EQ(ILSCalc_Stop(), kRunning);
    run.release();
    EXPECT_EQ(waitForRun(), kFinishedState);
    EXPECT_EQ(run.log().find("Calculation interrupted."), std::string::npos);
    EXPECT_EQ(run.fieldFile().size(), 20u + 3u * 504u);
}

TEST(ExportsStop, ACommandFailingAfterTheRequestEndsInterrupted) {
    GatedRun run("SY");
    ASSERT_EQ(run.start("SY\nX C A G\n110 8\nEN\n"), 0);
    ASSERT_TRUE(run.waitHeld());
    EXPECT_EQ(ILSCalc_Stop(), kRunning);
    run.release();
    EXPECT_EQ(waitForRun(), kInterruptedState);
    EXPECT_EQ(run.log(), "ERROR! Unknown system type: X\n");
}

TEST(ExportsStart, WhileRunningReturnsOneAndChangesNothing) {
    GatedRun run("CO");
    ASSERT_EQ(run.start(fullRun()), 0);
    ASSERT_TRUE(run.waitHeld());
    RunData& rd = runData();
    FILE* const log = rd.messageLog;
    FILE* const field = rd.fieldFileStream;

    const std::string other = makeTempDir("other");
    writeFile(other + "u.dat", "EN\n");
    EXPECT_EQ(ILSCalc_Start("u", other.c_str(), other.c_str(), 0), 1);
    EXPECT_EQ(ILSCalc_Start("t", run.projectDir.c_str(), run.projectDir.c_str(), 0), 1);
    EXPECT_EQ(rd.runState.load(), kRunning);
    EXPECT_EQ(rd.messageLog, log);
    EXPECT_EQ(rd.fieldFileStream, field);
    EXPECT_EQ(std::string(rd.scratchDirectory), nativePath(run.scratchDir));
    EXPECT_FALSE(fileExists(other + "scratch"));

    run.release();
    EXPECT_EQ(waitForRun(), kFinishedState) << run.log();
    EXPECT_EQ(run.log().find("ERROR!"), std::string::npos) << run.log();
}

TEST(ExportsStart, ProjectDirectoryThatCannotBeEntered) {
    resetToIdle();
    const std::string dir = makeTempDir("proj");
    writeFile(dir + "afile", "x");
    for (const std::string& project : {std::string(), dir + "missing", dir + "afile"}) {
        EXPECT_EQ(ILSCalc_Start("t", project.c_str(), dir.c_str(), 0), 4) << project;
        EXPECT_EQ(runData().runState.load(), kFailedState);
        int32_t state = -1;
        EXPECT_EQ(deliveredPercent(state), 0);
    }
    // Nothing was created below the scratch base.
    EXPECT_FALSE(fileExists(dir + "scratch"));
}

TEST(ExportsStart, MissingCommandFileIsReportedInTheLog) {
    const std::string dir = makeTempDir("nodat");
    EXPECT_EQ(ILSCalc_Start("absent", dir.c_str(), dir.c_str(), 0), 2);
    EXPECT_EQ(runData().runState.load(), kFailedState);
    EXPECT_EQ(readText(dir + "scratch/absent.out"),
              "ERROR! Cannot open input file " + nativePath(dir + "absent.dat") + "\n");
    EXPECT_FALSE(fileExists(dir + "scratch/absent.fld"));
    EXPECT_EQ(runData().messageLog, nullptr);
}

TEST(ExportsStart, ProjectDirectoryGetsExactlyOneSeparator) {
    const std::string dir = makeTempDir("sep");
    std::string base = dir;
    base.pop_back();  // without its trailing '/'
    const std::string expected = "ERROR! Cannot open input file " + nativePath(dir + "absent.dat") + "\n";
    for (const std::string& project : {base, base + "/", base + "\\"}) {
        EXPECT_EQ(ILSCalc_Start("absent", project.c_str(), dir.c_str(), 0), 2) << project;
        EXPECT_EQ(readText(dir + "scratch/absent.out"), expected) << project;
    }
    // With the separator added, the command file is found and run.
    writeFile(dir + "t.dat", fullRun());
    ASSERT_EQ(ILSCalc_Start("t", base.c_str(), base.c_str(), 0), 0);
    EXPECT_EQ(waitForRun(), kFinishedState) << readText(dir + "scratch/t.out");
}

TEST(ExportsStart, ScratchDirectoryIsCreatedBelowTheBase) {
    const std::string project = makeTempDir("proj");
    writeFile(project + "a.dat", fullRun());
    const std::string base = makeTempDir("runs") + "level";
    std::filesystem::create_directory(base);
    ASSERT_EQ(ILSCalc_Start("a", project.c_str(), base.c_str(), 0xabcd), 0);
    EXPECT_EQ(runData().startOption, 0xcd);
    EXPECT_EQ(std::string(runData().scratchDirectory), nativePath(base + "/scratch/"));
    EXPECT_EQ(waitForRun(), kFinishedState);
    EXPECT_TRUE(std::filesystem::is_directory(base + "/scratch"));
    EXPECT_TRUE(fileExists(base + "/scratch/a.out"));
    EXPECT_FALSE(readFile(base + "/scratch/a.fld").empty());
    // Nothing is written into the project directory.
    EXPECT_FALSE(fileExists(project + "scratch"));

    // A second run of the same name truncates and rewrites both files.
    writeFile(project + "a.dat", "EN\n");
    ASSERT_EQ(ILSCalc_Start("a", project.c_str(), (base + "/").c_str(), 0), 0);
    EXPECT_EQ(waitForRun(), kFailedState);
    EXPECT_EQ(readText(base + "/scratch/a.out"),
              "ERROR! SY command must be input before EN command.\n");
    EXPECT_EQ(readFile(base + "/scratch/a.fld"), "");
}

TEST(ExportsStart, EmptyScratchBaseMeansBelowTheCurrentDirectory) {
    const std::string project = makeTempDir("proj");
    writeFile(project + "cwdrun.dat", "EN\n");
    std::filesystem::remove("scratch/cwdrun.out");
    ASSERT_EQ(ILSCalc_Start("cwdrun", project.c_str(), "", 0), 0);
    EXPECT_EQ(std::string(runData().scratchDirectory), nativePath("scratch/"));
    EXPECT_EQ(waitForRun(), kFailedState);
    EXPECT_EQ(readText("scratch/cwdrun.out"),
              "ERROR! SY command must be input before EN command.\n");
    std::filesystem::remove("scratch/cwdrun.out");
    std::filesystem::remove("scratch/cwdrun.fld");
}

TEST(ExportsStart, OnlyTheLastScratchLevelIsCreated) {
    const std::string project = makeTempDir("proj");
    writeFile(project + "t.dat", fullRun());
    const std::string base = makeTempDir("runs") + "missing/deeper";
    EXPECT_EQ(ILSCalc_Start("t", project.c_str(), base.c_str(), 0), 3);
    EXPECT_EQ(runData().runState.load(), kFailedState);
    EXPECT_FALSE(fileExists(base));
    EXPECT_EQ(runData().messageLog, nullptr);
    EXPECT_EQ(runData().commandFile, nullptr);
}

TEST(ExportsStart, FieldFileThatCannotBeOpened) {
    const std::string dir = makeTempDir("nofld");
    writeFile(dir + "t.dat", fullRun());
    std::filesystem::create_directories(dir + "scratch/t.fld");  // a directory, not a file
    EXPECT_EQ(ILSCalc_Start("t", dir.c_str(), dir.c_str(), 0), 3);
    EXPECT_EQ(runData().runState.load(), kFailedState);
    EXPECT_EQ(readText(dir + "scratch/t.out"),
              "ERROR! Cannot open field file " + nativePath(dir + "scratch/t.fld") + "\n");
    EXPECT_EQ(runData().messageLog, nullptr);
    EXPECT_EQ(runData().commandFile, nullptr);
    EXPECT_EQ(runData().fieldFileStream, nullptr);
}

TEST(ExportsStart, ScratchPathOf1024CharactersIsRefused) {
    const std::string project = makeTempDir("proj");
    writeFile(project + "t.dat", fullRun());
    // "<base>/scratch/" is the base plus 9 characters; none of it exists.
    std::string base = project + "x";
    while (base.size() + 9 < 1024) base += (base.size() % 100 == 0) ? '/' : 'y';
    ASSERT_EQ(base.size() + 9, 1024u);
    EXPECT_EQ(ILSCalc_Start("t", project.c_str(), base.c_str(), 0), 5);
    EXPECT_EQ(runData().runState.load(), kFailedState);
    EXPECT_EQ(runData().messageLog, nullptr);
    // One character less fits; it fails only because the directories are missing.
    base.pop_back();
    EXPECT_EQ(ILSCalc_Start("t", project.c_str(), base.c_str(), 0), 3);
    EXPECT_EQ(runData().runState.load(), kFailedState);
}

TEST(ExportsStart, WorkerThatCannotStart) {
    const std::string dir = makeTempDir("nothread");
    writeFile(dir + "t.dat", fullRun());
    testControl().failWorkerStart = true;
    const int32_t code = ILSCalc_Start("t", dir.c_str(), dir.c_str(), 0);
    testControl().failWorkerStart = false;
    EXPECT_EQ(code, 6);
    EXPECT_EQ(runData().runState.load(), kFailedState);
    EXPECT_EQ(runData().messageLog, nullptr);
    EXPECT_EQ(runData().commandFile, nullptr);
    EXPECT_EQ(runData().fieldFileStream, nullptr);
    int32_t state = -1;
    EXPECT_EQ(deliveredPercent(state), 0);
    EXPECT_EQ(state, kFailedState);
}

TEST(ExportsStart, AStartAfterAFailedStartRuns) {
    EXPECT_EQ(ILSCalc_Start("t", "", "", 0), 4);
    const CalcResult r = runCommandFile(fullRun());
    EXPECT_EQ(r.startCode, 0);
    EXPECT_EQ(r.state, kFinishedState) << r.log;
    EXPECT_EQ(r.percent, 100);
}

}  // namespace
}  // namespace ils::test
