// Helpers of the interface tests: well-formed command blocks, and a gate that
// holds the worker at a command boundary so that the host side can be driven
// while a run is in progress, without timing assumptions.
#pragma once

#include <atomic>
#include <chrono>
#include <cstring>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "ilscalc/ilscalc.h"
#include "interface/run_data.h"
#include "support/test_support.h"

namespace ils::test {

inline const char* const kSystemTwoFrequency = "SY\nL C A G\n109.9 8\n";
inline const char* const kSystemSingle = "SY\nL S A F\n110\n";
inline const char* const kCourse =
    "CO\n"
    "2 F M D\n"
    "0 0 0 0\n"
    "E1    0 -5 3 1 0 1 0\n"
    "E2    0  5 3 1 0 1 180\n"
    "F 0 D\n";
inline const char* const kClearance =
    "CL\n"
    "1 F M D\n"
    "0 0 0 0\n"
    "C1    0 0 3 1 0 1 0\n"
    "D 0 D\n";
inline const char* const kProfile = "FP\nC F F F\n0 0 0\n0 10 5 1000 100\n200\n";
// Scatterers that are read and skipped (contributionCode 2).
inline const char* const kSkippedPlate = "SP\nF 2 0\n0 0 0 0 0 0 0\n";
inline const char* const kSkippedWire = "SW\nF 2 0\n0 0 0 0 0 0 0\n";

inline std::string syCoFpText() { return std::string(kSystemTwoFrequency) + kCourse + kProfile; }
inline std::string fullRun() { return syCoFpText() + "EN\n"; }

// Waits (bounded) until pred() holds; false when it never did.
template <typename Pred>
bool waitUntil(Pred pred, double seconds = 60.0) {
    const auto start = std::chrono::steady_clock::now();
    while (!pred()) {
        if (std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count() >
            seconds)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

// The worker calls the hook after each command. It records the progress
// value left by every command and, after the command named holdWord, waits
// until the test opens the gate.
struct Gate {
    static inline char holdWord[3] = "";
    static inline std::atomic<bool> held{false};
    static inline std::atomic<bool> open{false};
    // Written by the worker only; read by the test after the run has ended.
    static inline std::vector<std::pair<std::string, int32_t>> progress;

    static void hook(RunData& rd, const char* word) {
        progress.emplace_back(word, rd.progressPercent.load());
        if (std::strcmp(word, holdWord) != 0 || held.load()) return;
        held.store(true);
        waitUntil([] { return open.load(); });
    }
};

// Installs the gate on the library's run data for one test and makes sure
// that no run outlives the test.
class GatedRun {
public:
    explicit GatedRun(const char* holdWord = "") {
        std::snprintf(Gate::holdWord, sizeof Gate::holdWord, "%s", holdWord);
        Gate::held.store(false);
        Gate::open.store(false);
        Gate::progress.clear();
        testControl().afterCommand = &Gate::hook;
    }
    ~GatedRun() {
        Gate::open.store(true);
        waitForRun();
        testControl().afterCommand = nullptr;
    }
    GatedRun(const GatedRun&) = delete;
    GatedRun& operator=(const GatedRun&) = delete;

    // Writes RUN.dat into a fresh project directory and starts it there.
    int32_t start(const std::string& commands, const std::string& runName = "t") {
        name = runName;
        projectDir = makeTempDir("gated");
        scratchDir = projectDir + "scratch/";
        writeFile(projectDir + runName + ".dat", commands);
        return ILSCalc_Start(runName.c_str(), projectDir.c_str(), projectDir.c_str(), 0);
    }
    bool waitHeld() { return waitUntil([] { return Gate::held.load(); }); }
    void release() { Gate::open.store(true); }
    std::string log() const { return readText(scratchDir + name + ".out"); }
    std::string fieldFile() const { return readFile(scratchDir + name + ".fld"); }

    std::string name, projectDir, scratchDir;
};

// Puts the library's run state back to "just loaded" for tests that look at
// the values before any run.
inline void resetToIdle() {
    runData().runState.store(ILSCALC_IDLE);
    runData().progressPercent.store(0);
    runData().stopRequested.store(false);
}

}  // namespace ils::test
