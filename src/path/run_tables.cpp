#include "path/run_tables.h"

#include <cmath>

#include "input/lines.h"
#include "input/messages.h"
#include "interface/test_control.h"
#include "path/worker_pool.h"

namespace ils {

int scratchCannotRead(FILE* log, const char* path) {
    logMessage(log, "ERROR! Cannot read scratch file %s\n", path);
    return -1;
}

int scratchCannotWrite(FILE* log, const char* path) {
    logMessage(log, "ERROR! Cannot write scratch file %s\n", path);
    return -1;
}

int scratchFilePath(FILE* log, char* path, const char* directory, const char* name) {
    if (formatPath(path, "%s%s", directory, name) < 0) {
        logMessage(log, "ERROR! Scratch file path too long: %s%s\n", directory, name);
        path[0] = '\0';
        return -1;
    }
    return 0;
}

bool closeWritten(ScratchFile& file) {
    if (!file) return true;
    const bool ok = std::fclose(file.release()) == 0;
    return ok;
}

int createRunTables(RunData& rd, int32_t n) {
    releaseRunTables(rd);
    const bool force = testControl().forceFileStorage;
    if (rd.pointTable.create(n, rd.scratchDirectory, "flight.tmp", "flight1.tmp", force, true,
                             rd.messageLog) != 0)
        return -1;
    return rd.fieldTable.create(n, rd.scratchDirectory, "fields.tmp", "fields1.tmp", force, false,
                                rd.messageLog);
}

int storePoint(RunData& rd, int32_t /*i*/, const ObservationPoint& p) {
    return rd.pointTable.append(p, rd.messageLog);
}

int finishPoints(RunData& rd) { return rd.pointTable.finishAppend(rd.messageLog); }

int32_t blockPoints() {
    const int32_t forced = testControl().blockPoints;
    return forced > 0 ? forced : 2048;
}

void multipathMagnitudes(const FieldRecord& r, Complex (&out)[3]) {
    for (int s = 0; s < 3; ++s) out[s] = Complex(std::abs(r.slot[6 + 2 * s]), std::abs(r.slot[7 + 2 * s]));
}

void releaseRunTables(RunData& rd) {
    rd.pointTable.release();
    rd.movingTable.release();
    rd.fieldTable.release();
}

}  // namespace ils
