#include "interface/driver.h"

#include <cstring>

#include "input/lines.h"
#include "input/messages.h"
#include "input/scan.h"
#include "path/field_run.h"
#include "path/flight_profile.h"
#include "path/run_tables.h"
#include "scatter/moving_plate.h"
#include "scatter/plate.h"
#include "scatter/scatterer_reader.h"
#include "scatter/wire.h"
#include "system/array_reader.h"
#include "system/system_reader.h"

namespace ils {
namespace {

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

int countScatterCommands(FILE* cmd) {
    char line[kLineSize];
    char word[3];
    int count = 0;
    while (readLine(cmd, line)) {
        commandWord(line, word);
        if (std::strcmp(word, "SP") == 0 || std::strcmp(word, "SW") == 0) ++count;
        if (std::strcmp(word, "EN") == 0) break;
    }
    return count;
}

// First unmet precondition of a command, or nullptr.
const char* unmetPrecondition(const DriverState& st, const char* word, const RunData& rd) {
    static char message[128];
    const bool anyArray = st.courseSeen || st.clearanceSeen;
    if (std::strcmp(word, "CM") == 0 || std::strcmp(word, "SY") == 0) return nullptr;
    if (!st.systemSeen) {
        std::snprintf(message, sizeof message, "ERROR! SY command must be input before %s command.\n",
                      word);
        return message;
    }
    if (std::strcmp(word, "CO") == 0) return nullptr;
    if (std::strcmp(word, "CL") == 0) {
        return rd.system.captureEffect != 0 ? nullptr
                                            : "ERROR! CL command encountered in self-clearing array.\n";
    }
    if (!anyArray) {
        std::snprintf(message, sizeof message,
                      "ERROR! CO or CL command must be input before %s command.\n", word);
        return message;
    }
    if (std::strcmp(word, "FP") == 0) return nullptr;
    if (!st.profileSeen) {
        std::snprintf(message, sizeof message, "ERROR! FP command must be input before %s command.\n",
                      word);
        return message;
    }
    return nullptr;
}

bool isCommand(const char* word) {
    static const char* const kCommands[] = {"CM", "SY", "CO", "CL", "FP", "SG", "SP", "SW", "EN"};
    for (const char* c : kCommands) {
        if (std::strcmp(word, c) == 0) return true;
    }
    return false;
}

void advanceProgress(RunData& rd) {
    rd.progressAccumulator += rd.step;
    rd.progressPercent.store(static_cast<int32_t>(rd.progressAccumulator));
}

}  // namespace

void runCalculation(RunData& rd) {
    FILE* cmd = rd.commandFile;
    FILE* log = rd.messageLog;

    rd.farFieldDistance = 0.0;
    rd.arrays[0].elementCount = 0;
    rd.arrays[1].elementCount = 0;
    releaseRunTables(rd);
    rd.pointCount = 0;
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
            // Ending here instead of processing the last line again.
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
        if (const char* unmet = unmetPrecondition(st, word, rd)) {
            logMessage(log, "%s", unmet);
            status = -1;
            break;
        }
        if (std::strcmp(word, "CM") == 0) {
            // comment
        } else if (std::strcmp(word, "SY") == 0) {
            st.systemSeen = true;
            status = readSystem(rd);
        } else if (std::strcmp(word, "CO") == 0) {
            st.courseSeen = true;
            status = readArray(rd, "CO", 0);
        } else if (std::strcmp(word, "CL") == 0) {
            st.clearanceSeen = true;
            status = readArray(rd, "CL", 1);
        } else if (std::strcmp(word, "FP") == 0) {
            st.profileSeen = true;
            status = readFlightProfile(rd);
            rd.progressAccumulator = rd.step * 0.5;
            rd.progressPercent.store(static_cast<int32_t>(rd.progressAccumulator));
        } else if (std::strcmp(word, "SG") == 0) {
            const size_t len = std::strlen(line);
            scanText(len > 3 ? line + 3 : "", "%d", &st.movingPlateFlag);
            if (st.movingPlateFlag != 0) status = readMovingScatterers(rd, len > 7 ? line + 7 : "");
        } else if (std::strcmp(word, "SP") == 0 || std::strcmp(word, "SW") == 0) {
            const bool plate = word[1] == 'P';
            status = readScatterer(rd, word, st.scatterer);
            if (status != 0) break;
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
            advanceProgress(rd);
        } else {  // EN
            status = runFieldRun(rd, rd.fieldFileStream);
            rd.fieldFileStream = nullptr;  // the field run closed it
            ended = true;
        }
        if (status != 0 || ended) break;
    }

    releaseRunTables(rd);
    std::fclose(cmd);
    rd.commandFile = nullptr;
    if (rd.fieldFileStream != nullptr) {
        std::fclose(rd.fieldFileStream);
        rd.fieldFileStream = nullptr;
    }
    std::fclose(log);
    rd.messageLog = nullptr;
    rd.progressPercent.store(100);
    int32_t finalState = kFinished;
    if (status != 0) finalState = rd.stopRequested.load() ? kInterrupted : kFailed;
    rd.runState.store(finalState);
}

}  // namespace ils
