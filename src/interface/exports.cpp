// The exported calculation functions. Nothing may escape the C boundary.
#include <cstring>
#include <mutex>
#include <string>

#include "ilscalc/ilscalc.h"
#include "interface/driver.h"
#include "interface/run_data.h"
#include "input/lines.h"
#include "input/messages.h"
#include "path/run_tables.h"
#include "platform/platform.h"
#include "post/post.h"

namespace ils {

RunData& runData() {
    static RunData data;
    return data;
}

namespace {

std::mutex startMutex;  // two hosts' threads must not prepare a run at once

void worker() {
    try {
        runCalculation(runData());
    } catch (...) {
        // A computation must not take the host down; the run simply failed,
        // and its files are closed before the final state is published.
        RunData& rd = runData();
        for (FILE** f : {&rd.fieldFileStream, &rd.commandFile, &rd.messageLog}) {
            if (*f != nullptr) std::fclose(*f);
            *f = nullptr;
        }
        releaseRunTables(rd);
        rd.progressPercent.store(100);
        rd.runState.store(rd.stopRequested.load() ? kInterrupted : kFailed);
    }
}

int32_t startRun(const char* runName, const char* projectDirectory, const char* scratchBase,
                 uint32_t option) {
    RunData& rd = runData();
    std::lock_guard<std::mutex> lock(startMutex);
    if (rd.runState.load() == kRunning) return 1;

    const std::string name(runName != nullptr ? runName : "");
    const std::string project = platform::directoryWithSeparator(projectDirectory);
    if (!platform::canEnterDirectory(project.c_str())) {
        rd.runState.store(kFailed);
        return 4;
    }
    const std::string scratch = platform::directoryWithSeparator(scratchBase) + "scratch" + platform::kSeparator;
    if (scratch.size() >= static_cast<size_t>(kLineSize)) {
        rd.runState.store(kFailed);
        return 5;
    }
    if (!platform::canEnterDirectory(scratch.c_str())) platform::makeDirectory(scratch.c_str());

    const std::string logPath = scratch + name + ".out";
    const std::string commandPath = project + name + ".dat";
    const std::string fieldPath = scratch + name + ".fld";
    FILE* log = std::fopen(logPath.c_str(), "w");
    if (log == nullptr) {
        rd.runState.store(kFailed);
        return 3;
    }
    FILE* command = std::fopen(commandPath.c_str(), "rb");
    if (command == nullptr) {
        logMessage(log, "ERROR! Cannot open input file %s\n", commandPath.c_str());
        std::fclose(log);
        rd.runState.store(kFailed);
        return 2;
    }
    FILE* field = std::fopen(fieldPath.c_str(), "wb");
    if (field == nullptr) {
        logMessage(log, "ERROR! Cannot open field file %s\n", fieldPath.c_str());
        std::fclose(log);
        std::fclose(command);
        rd.runState.store(kFailed);
        return 3;
    }
    std::memcpy(rd.scratchDirectory, scratch.c_str(), scratch.size() + 1);
    rd.messageLog = log;
    rd.commandFile = command;
    rd.fieldFileStream = field;
    std::snprintf(rd.fieldFilePath, sizeof rd.fieldFilePath, "%s", fieldPath.c_str());
    rd.startOption = static_cast<uint8_t>(option & 0xffu);
    rd.stopRequested.store(false);
    rd.progressPercent.store(0);
    rd.runState.store(kRunning);
    if (rd.failWorkerStart || !platform::startDetachedThread(worker)) {
        std::fclose(log);
        std::fclose(command);
        std::fclose(field);
        rd.messageLog = rd.commandFile = rd.fieldFileStream = nullptr;
        rd.runState.store(kFailed);
        return 6;
    }
    return 0;
}

}  // namespace
}  // namespace ils

extern "C" {

ILSCALC_API int32_t ILSCALC_CALL ILSCalc_Start(const char* runName, const char* projectDirectory,
                                               const char* scratchBase, uint32_t option) {
    try {
        return ils::startRun(runName, projectDirectory, scratchBase, option);
    } catch (...) {
        ils::runData().runState.store(ils::kFailed);
        return 6;
    }
}

ILSCALC_API int32_t ILSCALC_CALL ILSCalc_Stop(void) {
    ils::RunData& rd = ils::runData();
    const int32_t state = rd.runState.load();
    if (state == ils::kRunning) rd.stopRequested.store(true);
    return state;
}

ILSCALC_API int32_t ILSCALC_CALL ILSCalc_GetProgress(int32_t* percent) {
    ils::RunData& rd = ils::runData();
    // The state returned is the one read after the percentage was stored. When
    // the run ended in between, the percentage is chosen again, so that a
    // host never sees 99 together with a final state.
    int32_t state = rd.runState.load();
    for (int attempt = 0;; ++attempt) {
        int32_t value = 0;
        if (state == ils::kFinished || state == ils::kInterrupted) {
            value = 100;
        } else if (state != ils::kIdle && state != ils::kFailed) {
            value = rd.progressPercent.load();
            if (value < 1) value = 1;
            if (value > 99) value = 99;
        }
        if (percent != nullptr) *percent = value;
        const int32_t after = rd.runState.load();
        if (after == state || attempt == 3) return after;
        state = after;
    }
}

ILSCALC_API int32_t ILSCALC_CALL ILSPost(const char* directory) {
    try {
        return ils::runPost(directory != nullptr ? directory : "");
    } catch (...) {
        return 4;
    }
}

}  // extern "C"
