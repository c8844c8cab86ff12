// The host's threads against the worker: polling, stopping and starting from
// other threads while a run is in progress. Built under ThreadSanitizer in CI.
#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "interface/interface_helpers.h"

namespace ils::test {
namespace {

TEST(Concurrency, PollAndStopFromAnotherThread) {
    GatedRun run("FP");
    std::string commands = "CM\n";
    for (int i = 0; i < 200; ++i) commands += "CM padding\n";
    commands += syCoFpText();
    ASSERT_EQ(run.start(commands + "EN\n"), 0);

    // The poller checks what a host may rely on while it watches the run.
    std::atomic<bool> badValue{false};
    std::atomic<int32_t> lastPercent{-1}, lastState{-1};
    std::thread poller([&] {
        int32_t percent = 0;
        int32_t state = ILSCalc_GetProgress(&percent);
        while (state == ILSCALC_RUNNING) {
            if (percent < 1 || percent > 99) badValue.store(true);
            std::this_thread::yield();
            state = ILSCalc_GetProgress(&percent);
        }
        lastPercent.store(percent);
        lastState.store(state);
    });
    // The stopper waits for the progress of FP, then asks for the end.
    std::atomic<int32_t> stopResult{-1};
    std::thread stopper([&] {
        int32_t percent = 0;
        waitUntil([&] {
            ILSCalc_GetProgress(&percent);
            return percent >= 50;
        });
        stopResult.store(ILSCalc_Stop());
        run.release();
    });
    stopper.join();
    poller.join();

    EXPECT_FALSE(badValue.load());
    EXPECT_EQ(stopResult.load(), ILSCALC_RUNNING);
    EXPECT_EQ(lastState.load(), ILSCALC_INTERRUPTED);
    EXPECT_EQ(lastPercent.load(), 100);
    EXPECT_EQ(run.log(), "Calculation interrupted.\n");
    EXPECT_EQ(run.fieldFile(), "");
}

TEST(Concurrency, OnlyOneOfTwoRacingStartsRuns) {
    GatedRun run("SY");
    const std::string project = makeTempDir("race");
    writeFile(project + "t.dat", syCoFpText() + "EN\n");
    std::atomic<int32_t> codes[2] = {-1, -1};
    std::vector<std::thread> starters;
    for (int i = 0; i < 2; ++i) {
        starters.emplace_back([&, i] {
            codes[i].store(ILSCalc_Start("t", project.c_str(), project.c_str(), 0));
        });
    }
    for (std::thread& t : starters) t.join();
    const int32_t a = codes[0].load(), b = codes[1].load();
    EXPECT_TRUE((a == 0 && b == 1) || (a == 1 && b == 0)) << a << " " << b;
    ASSERT_TRUE(run.waitHeld());
    run.release();
    EXPECT_EQ(waitForRun(), ILSCALC_FINISHED) << readText(project + "scratch/t.out");
}

}  // namespace
}  // namespace ils::test
