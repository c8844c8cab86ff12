// The exported calculation functions. Nothing may escape the C boundary.
#include <cstring>
#include <filesystem>
#include <future>
#include <mutex>
#include <new>
#include <string>
#include <system_error>

#include "ilscalc/ilscalc.h"
#include "interface/driver.h"
#include "interface/run_data.h"
#include "interface/test_control.h"
#include "input/lines.h"
#include "input/messages.h"
#include "path/run_tables.h"
#include "platform/platform.h"
#include "post/post.h"

namespace ils {

namespace {

std::mutex startMutex;  // two hosts' threads must not prepare a run at once

void worker() {
    try {
        runCalculation(runData());
    } catch (...) {
        // A computation must not take the host down; the run simply failed,
        // and its files are closed before the final state is published.
        RunData& rd = runData();
        if (FILE* field = takeEmptiedFieldFile(rd)) std::fclose(field);
        for (FILE** f : {&rd.commandFile, &rd.messageLog}) {
            if (*f != nullptr) std::fclose(*f);
            *f = nullptr;
        }
        releaseRunTables(rd);
        rd.progressPercent.store(100);
        rd.runState.store(rd.stopRequested.load() ? kInterrupted : kFailed);
    }
}

// Emptying the previous run's field file can cost milliseconds (the file
// system frees its blocks): a helper thread does it while the run reads its
// first commands. Start has opened the file to append, which fails where
// opening it empty would; nothing is written to it before the field run
// waits for this (takeEmptiedFieldFile).
std::future<bool> emptyFieldFile(const std::string& path) {
    auto empty = [path] {
        std::error_code ec;
        std::filesystem::resize_file(path, 0, ec);
        return !ec;
    };
    if (!testControl().fieldFileEmptyingFails) {
        try {
            return std::async(std::launch::async, empty);
        } catch (const std::system_error&) {
            // No thread for it: the file is emptied at the field run instead.
        }
    }
    std::promise<bool> notDone;
    notDone.set_value(false);
    return notDone.get_future();
}

// Closes a run file on every way out of startRun unless it was handed on.
struct FileGuard {
    FILE* file = nullptr;
    ~FileGuard() {
        if (file != nullptr) std::fclose(file);
    }
    FILE* release() {
        FILE* f = file;
        file = nullptr;
        return f;
    }
};

// Starts the worker; any failure of the thread start, whatever it throws,
// is a start that did not happen.
bool startWorker() {
    if (testControl().failWorkerStart) return false;
    try {
        if (testControl().workerStartThrows) throw std::bad_alloc();
        return platform::startDetachedThread(worker);
    } catch (...) {
        return false;
    }
}

int32_t openAndStart(RunData& rd, const char* runName, const char* projectDirectory,
                     const char* scratchBase, uint32_t option) {
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
    FileGuard log{std::fopen(logPath.c_str(), "w")};
    if (log.file == nullptr) {
        rd.runState.store(kFailed);
        return 3;
    }
    FileGuard command{std::fopen(commandPath.c_str(), "rb")};
    if (command.file == nullptr) {
        logMessage(log.file, "ERROR! Cannot open input file %s\n", commandPath.c_str());
        rd.runState.store(kFailed);
        return 2;
    }
    FileGuard field{std::fopen(fieldPath.c_str(), "ab")};
    if (field.file == nullptr) {
        logMessage(log.file, "ERROR! Cannot open field file %s\n", fieldPath.c_str());
        rd.runState.store(kFailed);
        return 3;
    }
    std::memcpy(rd.scratchDirectory, scratch.c_str(), scratch.size() + 1);
    rd.messageLog = log.file;
    rd.commandFile = command.file;
    rd.fieldFileStream = field.file;
    std::snprintf(rd.fieldFilePath, sizeof rd.fieldFilePath, "%s", fieldPath.c_str());
    rd.fieldFileEmptying = emptyFieldFile(fieldPath);
    rd.startOption = static_cast<uint8_t>(option & 0xffu);
    rd.stopRequested.store(false);
    rd.progressPercent.store(0);
    rd.runState.store(kRunning);
    if (!startWorker()) {
        // The guards close the three files, the field file emptied.
        rd.fieldFileEmptying.wait();
        rd.messageLog = rd.commandFile = rd.fieldFileStream = nullptr;
        rd.runState.store(kFailed);
        return 6;
    }
    log.release();
    command.release();
    field.release();
    return 0;
}

int32_t startRun(const char* runName, const char* projectDirectory, const char* scratchBase,
                 uint32_t option) {
    RunData& rd = runData();
    std::lock_guard<std::mutex> lock(startMutex);
    if (rd.runState.load() == kRunning) return 1;
    try {
        return openAndStart(rd, runName, projectDirectory, scratchBase, option);
    } catch (...) {
        // Only the text handling can throw here (memory); no thread was
        // started and the guards have closed what was opened.
        rd.messageLog = rd.commandFile = rd.fieldFileStream = nullptr;
        rd.runState.store(kFailed);
        return 6;
    }
}

// The stop request is set under the lock that ILSCalc_Start holds while it
// clears the request and publishes Running: a request read while one run
// ends is then either set before the next start clears it, or meets the
// next run already Running, never a run that started after it was read.
int32_t requestStop() {
    RunData& rd = runData();
    std::lock_guard<std::mutex> lock(startMutex);
    const int32_t state = rd.runState.load();
    if (state == kRunning) {
        if (testControl().insideStop != nullptr) testControl().insideStop();
        rd.stopRequested.store(true);
    }
    return state;
}

}  // namespace
}  // namespace ils

extern "C" {

ILSCALC_API int32_t ILSCALC_CALL ILSCalc_Start(const char* runName, const char* projectDirectory,
                                               const char* scratchBase, uint32_t option) {
    try {
        return ils::startRun(runName, projectDirectory, scratchBase, option);
    } catch (...) {
        // The lock itself could not be taken: nothing was changed.
        return 6;
    }
}

ILSCALC_API int32_t ILSCALC_CALL ILSCalc_Stop(void) {
    try {
        return ils::requestStop();
    } catch (...) {
        // Without the lock the request is set as before, at the risk the
        // lock guards against.
        ils::RunData& rd = ils::runData();
        const int32_t state = rd.runState.load();
        if (state == ils::kRunning) rd.stopRequested.store(true);
        return state;
    }
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
