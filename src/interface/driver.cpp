#include "interface/driver.h"

#include <cstring>
#include <memory>
#include <new>

#include "input/lines.h"
#include "input/messages.h"
#include "input/scan.h"
#include "interface/test_control.h"
#include "path/field_run.h"
#include "path/flight_profile.h"
#include "path/run_tables.h"
#include "path/worker_pool.h"
#include "scatter/moving_plate.h"
#include "scatter/plate.h"
#include "scatter/scatterer_reader.h"
#include "scatter/wire.h"
#include "system/array_reader.h"
#include "system/system_reader.h"

namespace ils {
namespace {

// Worker bookkeeping that lives for one run only.
struct DriverState {
    bool systemSeen = false, courseSeen = false, clearanceSeen = false, profileSeen = false;
    int32_t movingPlateFlag = 0;
    int32_t plateSerial = 0;
    int32_t wireSerial = 0;
    Scatterer scatterer;
};

// The command word: the first word if it has at most two characters, else empty.
void commandWord(const char* line, char word[3]) {
    word[0] = '\0';
    scanText(line, "%2s", word);
}

bool is(const char* word, const char* command) { return std::strcmp(word, command) == 0; }

// SP and SW lines before the first EN, for the progress steps.
int32_t countScatterCommands(FILE* cmd) {
    char line[kLineSize];
    char word[3];
    int32_t count = 0;
    while (readLine(cmd, line)) {
        commandWord(line, word);
        if (is(word, "SP") || is(word, "SW")) ++count;
        if (is(word, "EN")) break;
    }
    return count;
}

bool isCommand(const char* word) {
    static const char* const kCommands[] = {"CM", "SY", "CO", "CL", "FP", "SG", "SP", "SW", "EN"};
    for (const char* c : kCommands) {
        if (is(word, c)) return true;
    }
    return false;
}

// Writes the message of the first unmet precondition of a known command and
// returns true, or returns false when the command may run.
bool reportUnmetPrecondition(FILE* log, const DriverState& st, const RunData& rd,
                             const char* word) {
    if (is(word, "CM") || is(word, "SY")) return false;
    if (!st.systemSeen) {
        logMessage(log, "ERROR! SY command must be input before %s command.\n", word);
        return true;
    }
    if (is(word, "CO")) return false;
    if (is(word, "CL")) {
        if (rd.system.captureEffect != 0) return false;
        logMessage(log, "ERROR! CL command encountered in self-clearing array.\n");
        return true;
    }
    if (!st.courseSeen && !st.clearanceSeen) {
        logMessage(log, "ERROR! CO or CL command must be input before %s command.\n", word);
        return true;
    }
    if (is(word, "FP")) return false;
    if (!st.profileSeen) {
        logMessage(log, "ERROR! FP command must be input before %s command.\n", word);
        return true;
    }
    return false;
}

void setProgress(RunData& rd, double accumulator) {
    rd.progressAccumulator = accumulator;
    rd.progressPercent.store(static_cast<int32_t>(accumulator));
}

// Carries out one command whose preconditions hold; returns its status.
int executeCommand(RunData& rd, DriverState& st, const char* word, const char* line,
                   bool& ended) {
    if (is(word, "CM")) return 0;
    if (is(word, "SY")) {
        st.systemSeen = true;
        return readSystem(rd);
    }
    if (is(word, "CO")) {
        st.courseSeen = true;
        return readArray(rd, "CO", 0);
    }
    if (is(word, "CL")) {
        st.clearanceSeen = true;
        return readArray(rd, "CL", 1);
    }
    if (is(word, "FP")) {
        st.profileSeen = true;
        const int status = readFlightProfile(rd);
        setProgress(rd, rd.step * 0.5);
        return status;
    }
    if (is(word, "SG")) {
        const size_t len = std::strlen(line);
        scanText(len > 3 ? line + 3 : "", "%d", &st.movingPlateFlag);
        if (st.movingPlateFlag == 0) return 0;
        return readMovingScatterers(rd, len > 7 ? line + 7 : "");
    }
    if (is(word, "SP") || is(word, "SW")) {
        const bool plate = is(word, "SP");
        int status = readScatterer(rd, word, st.scatterer);
        if (status != 0) return status;
        if (st.scatterer.contributionCode != 2) {
            if (plate) {
                ++st.plateSerial;
                status = st.movingPlateFlag != 0
                             ? computeMovingPlate(rd, st.scatterer, st.plateSerial)
                             : computePlate(rd, st.scatterer, st.plateSerial);
            } else {
                ++st.wireSerial;
                status = computeWire(rd, st.scatterer, st.wireSerial);
            }
        }
        // The step counts also when the computation failed or was skipped.
        setProgress(rd, rd.progressAccumulator + rd.step);
        return status;
    }
    // EN: the field run writes and closes the field file.
    FILE* field = takeEmptiedFieldFile(rd);
    ended = true;
    return runFieldRun(rd, field);
}

}  // namespace

FILE* takeEmptiedFieldFile(RunData& rd) {
    FILE* field = rd.fieldFileStream;
    rd.fieldFileStream = nullptr;
    bool emptied = true;
    if (rd.fieldFileEmptying.valid()) {
        try {
            emptied = rd.fieldFileEmptying.get();
        } catch (...) {
            emptied = false;
        }
    }
    if (!emptied && field != nullptr) {
        std::fclose(field);
        field = rd.fieldFilePath[0] != '\0' ? std::fopen(rd.fieldFilePath, "wb") : nullptr;
    }
    return field;
}

void runCalculation(RunData& rd) {
    FILE* const cmd = rd.commandFile;
    FILE* const log = rd.messageLog;

    // The run's worker threads, started once for all its computations; the
    // low 8 bits of the start option cap their number.
    // They end before the final run state is published, so that a host
    // starting the next run never meets this run's threads.
    struct PoolOfRun {
        RunData& rd;
        std::unique_ptr<WorkerPool> pool;
        void end() {
            if (!pool) return;  // already ended (nothing of the run may be touched after)
            rd.workers = nullptr;
            pool.reset();
        }
        ~PoolOfRun() { end(); }
    } threads{rd, std::make_unique<WorkerPool>(WorkerPool::threadsFor(rd.startOption))};
    rd.workers = threads.pool.get();

    rd.farFieldDistance = 0.0;
    rd.arrays[0].elementCount = 0;
    rd.arrays[1].elementCount = 0;
    releaseRunTables(rd);
    rd.pointCount = 0;
    rd.scatterCommandCount = 0;
    rd.scatterCommandCount = countScatterCommands(cmd);
    std::fseek(cmd, 0, SEEK_SET);
    rd.progressAccumulator = 0.0;
    rd.step = 100.0 / (rd.scatterCommandCount + 1);

    DriverState st;
    char line[kLineSize];
    char word[3];
    int status = 0;
    bool ended = false;
    while (true) {
        if (rd.stopRequested.load()) {
            logMessage(log, "Calculation interrupted.\n");
            status = -1;
            break;
        }
        word[0] = '\0';
        if (!readLine(cmd, line)) {
            // The last line must not be processed a second time.
            logMessage(log, "ERROR! Command file ends before EN command.\n");
            status = -1;
            break;
        }
        commandWord(line, word);
        if (!isCommand(word)) {
            logMessage(log, "ERROR! Unknown instruction code: %s.\n", word);
            status = -1;
            break;
        }
        if (reportUnmetPrecondition(log, st, rd, word)) {
            status = -1;
            break;
        }
        try {
            status = executeCommand(rd, st, word, line, ended);
        } catch (const std::bad_alloc&) {
            // A table too large for memory ends the run like any failed command.
            logMessage(log, "ERROR! Not enough memory for %s command.\n", word);
            status = -1;
        }
        if (testControl().afterCommand != nullptr) testControl().afterCommand(rd, word);
        if (status != 0 || ended) break;
    }

    releaseRunTables(rd);
    // A run that fails before EN leaves the field file empty; it is closed here.
    if (FILE* field = takeEmptiedFieldFile(rd)) std::fclose(field);
    std::fclose(cmd);
    rd.commandFile = nullptr;
    std::fclose(log);
    rd.messageLog = nullptr;
    threads.end();
    rd.progressPercent.store(100);
    int32_t finalState = kFinished;
    if (status != 0) finalState = rd.stopRequested.load() ? kInterrupted : kFailed;
    rd.runState.store(finalState);
}

}  // namespace ils
