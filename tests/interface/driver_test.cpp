// The calculation driver through the exports: command order, preconditions,
// unknown commands, the end of the command file, progress steps and the
// final run state.
#include <string>
#include <vector>

#include "interface/interface_helpers.h"

namespace ils::test {
namespace {

constexpr int32_t kFinishedState = ILSCALC_FINISHED;
constexpr int32_t kFailedState = ILSCALC_FAILED;

std::string sy() { return kSystemTwoFrequency; }
std::string syCo() { return sy() + kCourse; }
std::string syCoFp() { return syCo() + kProfile; }

TEST(DriverRun, OnlyEnFailsForWantOfSy) {
    const CalcResult r = runCommandFile("EN\n");
    EXPECT_EQ(r.startCode, 0);
    EXPECT_EQ(r.state, kFailedState);
    EXPECT_EQ(r.percent, 0);  // a failed run is shown as 0 percent
    EXPECT_EQ(runData().progressPercent.load(), 100);
    EXPECT_EQ(r.log, "ERROR! SY command must be input before EN command.\n");
    EXPECT_EQ(r.fieldFile, "");
}

TEST(DriverRun, WellFormedRunFinishes) {
    const CalcResult r = runCommandFile("CM a comment\n" + syCoFp() + "EN\n");
    EXPECT_EQ(r.state, kFinishedState) << r.log;
    EXPECT_EQ(r.percent, 100);
    EXPECT_EQ(r.log.find("ERROR!"), std::string::npos) << r.log;
    // Header (20 bytes) and one 504-byte entry per point of the orbit 0..10 step 5.
    EXPECT_EQ(r.fieldFile.size(), 20u + 3u * 504u);
    EXPECT_EQ(int32At(r.fieldFile, 0), 3);
}

TEST(DriverRun, LinesAfterEnAreNotRead) {
    const CalcResult r = runCommandFile(syCoFp() + "EN\nthis is not a command\nSP\n");
    EXPECT_EQ(r.state, kFinishedState) << r.log;
}

TEST(DriverRun, CarriageReturnsAreWhiteSpace) {
    std::string crlf;
    for (const char c : "CM x\n" + syCoFp() + "EN\n") {
        if (c == '\n') crlf += '\r';
        crlf += c;
    }
    const CalcResult r = runCommandFile(crlf);
    EXPECT_EQ(r.state, kFinishedState) << r.log;
    EXPECT_EQ(r.fieldFile.size(), 20u + 3u * 504u);
}

TEST(DriverRun, RepeatedCommandsReplaceEarlierOnes) {
    const std::string commands = std::string(kSystemSingle) + kCourse + kProfile + syCo() +
                                 kClearance + kProfile + "CM\nEN\n";
    const CalcResult r = runCommandFile(commands);
    EXPECT_EQ(r.state, kFinishedState) << r.log;
}

TEST(DriverOrder, EveryPreconditionMessageInItsOrder) {
    struct Case {
        std::string commands;
        std::string log;
    };
    const std::string coBlock = kCourse;
    const std::vector<Case> cases = {
        {"CO\n", "ERROR! SY command must be input before CO command.\n"},
        {"CL\n", "ERROR! SY command must be input before CL command.\n"},
        {"FP\n", "ERROR! SY command must be input before FP command.\n"},
        {"SG 0\n", "ERROR! SY command must be input before SG command.\n"},
        {"SP\n", "ERROR! SY command must be input before SP command.\n"},
        {"SW\n", "ERROR! SY command must be input before SW command.\n"},
        {"CM\nEN\n", "ERROR! SY command must be input before EN command.\n"},
        // The SY message comes first even for a CL that would be refused.
        {"CL\n" + std::string(kSystemSingle), "ERROR! SY command must be input before CL command.\n"},
        {sy() + "FP\n", "ERROR! CO or CL command must be input before FP command.\n"},
        {sy() + "SG 0\n", "ERROR! CO or CL command must be input before SG command.\n"},
        {sy() + "SP\n", "ERROR! CO or CL command must be input before SP command.\n"},
        {sy() + "SW\n", "ERROR! CO or CL command must be input before SW command.\n"},
        {sy() + "EN\n", "ERROR! CO or CL command must be input before EN command.\n"},
        {syCo() + "SG 0\n", "ERROR! FP command must be input before SG command.\n"},
        {syCo() + "SP\n", "ERROR! FP command must be input before SP command.\n"},
        {syCo() + "SW\n", "ERROR! FP command must be input before SW command.\n"},
        {syCo() + "EN\n", "ERROR! FP command must be input before EN command.\n"},
        {std::string(kSystemSingle) + "CL\n",
         "ERROR! CL command encountered in self-clearing array.\n"},
        // A later self-clearing SY refuses a CL that the first SY allowed.
        {sy() + kClearance + kSystemSingle + "CL\n",
         "ERROR! CL command encountered in self-clearing array.\n"},
    };
    for (const Case& c : cases) {
        const CalcResult r = runCommandFile(c.commands);
        EXPECT_EQ(r.state, kFailedState) << c.commands;
        EXPECT_EQ(r.percent, 0);
        EXPECT_EQ(r.log, c.log) << c.commands;
    }
}

TEST(DriverOrder, ClearanceArrayAloneSatisfiesFp) {
    const CalcResult r = runCommandFile(sy() + kClearance + kProfile + "EN\n");
    EXPECT_EQ(r.state, kFinishedState) << r.log;
}

TEST(DriverOrder, SgWithZeroReadsNothingAndMayRepeat) {
    const CalcResult r = runCommandFile(syCoFp() + "SG 0 motion.txt\nSG\nSG 0\nEN\n");
    EXPECT_EQ(r.state, kFinishedState) << r.log;
}

TEST(DriverUnknown, WordsThatAreNotCommands) {
    struct Case {
        std::string line;
        std::string shown;
    };
    const Case cases[] = {
        {"\n", ""},          {"   \t\r\n", ""}, {"END\n", ""}, {"SPX 1\n", ""},
        {"sy\n", "sy"},      {"Sy\n", "Sy"},   {"S\n", "S"},  {"XY 1 2\n", "XY"},
        {"12\n", "12"},
    };
    for (const Case& c : cases) {
        // Before SY and between two blocks (after a CO block, a line that
        // begins with a blank would open its coefficient block).
        for (const std::string& before : {std::string(), syCoFp()}) {
            const CalcResult r = runCommandFile(before + c.line + "EN\n");
            EXPECT_EQ(r.state, kFailedState) << c.line;
            EXPECT_EQ(r.log, "ERROR! Unknown instruction code: " + c.shown + ".\n") << c.line;
        }
    }
}

TEST(DriverUnknown, CommandWordMayFollowBlanks) {
    const CalcResult r = runCommandFile("  \tCM\n" + syCoFp() + " EN\r\n");
    EXPECT_EQ(r.state, kFinishedState) << r.log;
}

TEST(DriverUnknown, LongLineIsCutAndItsRestIsTheNextLine) {
    // 1023 characters fill the buffer; " ZZ" is read as a line of its own.
    const std::string longComment = "CM " + std::string(1020, 'a') + " ZZ\n";
    const CalcResult r = runCommandFile(longComment + "EN\n");
    EXPECT_EQ(r.log, "ERROR! Unknown instruction code: ZZ.\n");
    // One character less keeps the whole line.
    const std::string fits = "CM " + std::string(1016, 'a') + " ZZ\n";
    ASSERT_EQ(fits.size(), 1023u);
    EXPECT_EQ(runCommandFile(fits + "EN\n").log,
              "ERROR! SY command must be input before EN command.\n");
}

TEST(DriverEndOfFile, FileEndingBeforeEn) {
    const std::string cases[] = {
        "",
        "CM only a comment\n",
        "CM without line end",
        syCoFp(),
        // Without its line end, the last line must not be taken twice: as a
        // command word "109.9" it would be an unknown instruction.
        "SY\nL C A G\n109.9 8",
    };
    for (const std::string& c : cases) {
        const CalcResult r = runCommandFile(c);
        EXPECT_EQ(r.state, kFailedState) << c;
        EXPECT_EQ(r.percent, 0);
        EXPECT_EQ(r.log, "ERROR! Command file ends before EN command.\n") << c;
        EXPECT_EQ(r.fieldFile, "");
        EXPECT_EQ(runData().fieldFileStream, nullptr);  // closed by the worker
    }
}

TEST(DriverEndOfFile, ReaderNeedingAnotherLineSeesAnEmptyLine) {
    const CalcResult r = runCommandFile("SY\nL C A G\n");
    EXPECT_EQ(r.state, kFailedState);
    EXPECT_EQ(r.log, "ERROR! SY command requires 2 inputs on line 2.\nLast line read:\n\t");
}

TEST(DriverProgress, StepsOfTwoPlatesAndOneWire) {
    GatedRun run;
    ASSERT_EQ(run.start(syCoFp() + kSkippedPlate + kSkippedPlate + kSkippedWire + "EN\n"), 0);
    EXPECT_EQ(waitForRun(), kFinishedState) << run.log();
    const std::vector<std::pair<std::string, int32_t>> expected = {
        {"SY", 0}, {"CO", 0}, {"FP", 12}, {"SP", 37}, {"SP", 62}, {"SW", 87}, {"EN", 87}};
    EXPECT_EQ(Gate::progress, expected);
    EXPECT_EQ(runData().scatterCommandCount, 3);
    int32_t percent = 0;
    EXPECT_EQ(ILSCalc_GetProgress(&percent), kFinishedState);
    EXPECT_EQ(percent, 100);
}

TEST(DriverProgress, ScatterCommandsAfterEnDoNotCount) {
    GatedRun run;
    ASSERT_EQ(run.start(syCoFp() + kSkippedPlate + "EN\n" + kSkippedPlate + kSkippedWire), 0);
    EXPECT_EQ(waitForRun(), kFinishedState) << run.log();
    const std::vector<std::pair<std::string, int32_t>> expected = {
        {"SY", 0}, {"CO", 0}, {"FP", 25}, {"SP", 75}, {"EN", 75}};
    EXPECT_EQ(Gate::progress, expected);
}

TEST(DriverProgress, FpTakesHalfAStepEvenWhenItFails) {
    GatedRun run;
    // The count sees the SW word on the line after the faulty FP block.
    ASSERT_EQ(run.start(syCo() + "FP\nC F F F\n0 0\nSW\nEN\n"), 0);
    EXPECT_EQ(waitForRun(), kFailedState);
    ASSERT_EQ(Gate::progress.size(), 3u);
    EXPECT_EQ(Gate::progress[2], std::make_pair(std::string("FP"), int32_t{25}));
    EXPECT_EQ(run.log().rfind("ERROR! FP command requires 3 inputs on line 2.\n", 0), 0u)
        << run.log();
}

TEST(DriverProgress, FailedScatterReadLeavesProgressAlone) {
    GatedRun run;
    ASSERT_EQ(run.start(syCoFp() + "SP\nF 2\nSP\nEN\n"), 0);
    EXPECT_EQ(waitForRun(), kFailedState);
    ASSERT_EQ(Gate::progress.size(), 4u);
    EXPECT_EQ(Gate::progress[3], std::make_pair(std::string("SP"), int32_t{16}));  // 33.3 / 2
    EXPECT_EQ(run.log(), "ERROR! SP command requires 3 inputs on line 1.\nLast line read:\n\tF 2\n");
}

TEST(DriverRelease, TablesAndScratchFilesAreGoneAfterTheRun) {
    testControl().forceFileStorage = true;
    const CalcResult r = runCommandFile(syCoFp() + "EN\n");
    testControl().forceFileStorage = false;
    EXPECT_EQ(r.state, kFinishedState) << r.log;
    for (const char* name : {"flight.tmp", "fields.tmp", "fields1.tmp", "dynscat.tmp"})
        EXPECT_FALSE(fileExists(r.scratchDir + name)) << name;
    EXPECT_FALSE(runData().pointTable.held);
    EXPECT_FALSE(runData().fieldTable.held);
    EXPECT_EQ(runData().commandFile, nullptr);
    EXPECT_EQ(runData().messageLog, nullptr);
    EXPECT_EQ(runData().fieldFileStream, nullptr);

    // Also after a failure that leaves the tables of FP behind.
    testControl().forceFileStorage = true;
    const CalcResult failed = runCommandFile(syCoFp() + "XX\n");
    testControl().forceFileStorage = false;
    EXPECT_EQ(failed.state, kFailedState);
    EXPECT_FALSE(fileExists(failed.scratchDir + "flight.tmp"));
    EXPECT_FALSE(fileExists(failed.scratchDir + "fields.tmp"));
}

}  // namespace
}  // namespace ils::test
