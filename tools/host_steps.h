// The steps of the host after a calculation: post-processing through
// ILSPost, then CSV, tolerance checks and plots of the report. Shared by the
// run and post commands.
#pragma once

#include <string>
#include <vector>

#include "host_files.h"

namespace ilshost {

// Exit codes of the program; the usage text lists them.
enum ExitCode {
    kExitOk = 0,
    kExitUsage = 1,
    kExitNotStarted = 2,
    kExitRunFailed = 3,
    kExitInterrupted = 4,
    kExitPostFailed = 5,
    kExitTolerance = 6,
    kExitOutput = 7,
};

struct Options {
    std::string command;
    std::string project;
    std::string runName;
    std::string scratchDir;  // for post
    std::string scratchBase;
    std::string overlay;     // another report to draw on the same plots
    bool noPost = false;
    bool plot = false;
    bool csv = false;
    int category = 0;
    // Which ICAO checks --category runs: "structure" (the default), "width",
    // "clearance", "path".
    std::vector<std::string> checks;
    double pathAngle = 3.0;  // nominal glide-path angle, degrees
    bool haveThreshold = false;
    double thresholdX = 0.0, thresholdY = 0.0;
    bool haveStopEnd = false;
    double stopX = 0.0, stopY = 0.0;
};

// What a run or post command got done, for its closing summary.
struct StepLog {
    std::vector<std::string> done;
    std::vector<std::string> notDone;
    void skipRest(const std::vector<std::string>& steps) {
        for (const std::string& s : steps) notDone.push_back(s);
    }
};

// The meaning of a result code of ILSCalc_Start or ILSPost.
std::string startResultText(int code);
std::string postResultText(int code);

// Prints the ERROR! and WARNING! lines of a log with their continuations.
void showMessages(const std::string& logPath, const char* what);

// Removes the outputs that an earlier post-processing left under a report
// base (BASE.PTS, BASE.csv, plot data, script and images, BASE.checks.json),
// so that nothing stale passes for a result of this run. Returns how many.
int removeStaleOutputs(const std::string& reportPath);

// Calls ILSPost on a scratch directory that holds ILSPOST.TMP, then the
// report steps. Honours an interrupt between the steps.
int postProcess(const Options& o, const std::string& scratchDir, const PostNames& names,
                StepLog& log);

// Prints "Completed: ..." and "Not done: ..." lines, after a line about the
// interrupt when there was one.
void printSummary(const StepLog& log, bool interrupted = false);

}  // namespace ilshost
