// Failure paths of ILSCalc_Start that must leave no file open, and the stop
// request of one run that must not reach the run started after it.
#include <chrono>
#include <future>
#include <string>

#include "interface/interface_helpers.h"

namespace ils::test {
namespace {

TEST(ExportsStart, ThreadStartThatThrowsClosesTheRunFiles) {
    const std::string dir = makeTempDir("throwthread");
    writeFile(dir + "t.dat", fullRun());
    const int before = openDescriptors();
    testControl().workerStartThrows = true;
    const int32_t code = ILSCalc_Start("t", dir.c_str(), dir.c_str(), 0);
    testControl().workerStartThrows = false;
    EXPECT_EQ(code, 6);
    EXPECT_EQ(runData().runState.load(), ILSCALC_FAILED);
    EXPECT_EQ(runData().messageLog, nullptr);
    EXPECT_EQ(runData().commandFile, nullptr);
    EXPECT_EQ(runData().fieldFileStream, nullptr);
    if (before > 0) {
        EXPECT_EQ(openDescriptors(), before);
    }
    // The library is usable again at once.
    const CalcResult r = runCommandFile(fullRun());
    EXPECT_EQ(r.startCode, 0);
    EXPECT_EQ(r.state, ILSCALC_FINISHED) << r.log;
}

// What the stop hook does: the run that was Running when ILSCalc_Stop read
// the state ends, and a host thread starts the next run; the hook waits a
// little for that start, as a host's scheduling might.
struct StopRace {
    static inline GatedRun* first = nullptr;
    static inline std::string nextProject;
    static inline std::future<int32_t> nextStart;

    static void insideStop() {
        testControl().insideStop = nullptr;
        first->release();
        waitUntil([] { return runData().runState.load() != ILSCALC_RUNNING; });
        // The next run holds after its SY until the test releases it.
        std::snprintf(Gate::holdWord, sizeof Gate::holdWord, "SY");
        Gate::held.store(false);
        Gate::open.store(false);
        nextStart = std::async(std::launch::async, [] {
            return ILSCalc_Start("t", nextProject.c_str(), nextProject.c_str(), 0);
        });
        nextStart.wait_for(std::chrono::milliseconds(300));
    }
};

TEST(ExportsStop, RequestReadAsOneRunEndsDoesNotStopTheNext) {
    GatedRun run("FP");
    ASSERT_EQ(run.start(fullRun()), 0);
    ASSERT_TRUE(run.waitHeld());
    StopRace::first = &run;
    StopRace::nextProject = makeTempDir("nextrun");
    writeFile(StopRace::nextProject + "t.dat", fullRun());
    testControl().insideStop = &StopRace::insideStop;

    EXPECT_EQ(ILSCalc_Stop(), ILSCALC_RUNNING);  // the first run's state
    ASSERT_TRUE(StopRace::nextStart.valid());
    EXPECT_EQ(StopRace::nextStart.get(), 0);
    ASSERT_TRUE(run.waitHeld());  // the next run holds after SY
    run.release();
    EXPECT_EQ(waitForRun(), ILSCALC_FINISHED);
    const std::string log = readFile(StopRace::nextProject + "scratch/t.out");
    EXPECT_EQ(log.find("Calculation interrupted."), std::string::npos) << log;
    EXPECT_EQ(readFile(StopRace::nextProject + "scratch/t.fld").size(), 20u + 504u * 3);
}

}  // namespace
}  // namespace ils::test
